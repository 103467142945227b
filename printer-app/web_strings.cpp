// web_strings.cpp: the labels, one row a key with its three languages. The
// Chinese rows also name PAPPL's own printing defaults, states and buttons,
// which PAPPL 1.3.1 has no Chinese for (and which its English has already).
#include "web_strings.h"

#include <sstream>

namespace {

struct Label {
  const char* key;
  const char* english;      // null: PAPPL's own English stands
  const char* simplified;
  const char* traditional;
};

const Label kLabels[] = {
    {"halftone", "Halftone", "半色调", "半色調"},
    {"halftone.auto", "Automatic (by content and quality)", "自动（按内容和质量）", "自動（依內容和品質）"},
    {"halftone.HT_NONE", "None (black and white, for text)", "无（黑白，适合文字）", "無（黑白，適合文字）"},
    {"halftone.HT_Ordered", "Ordered dither", "有序抖动", "有序抖動"},
    {"halftone.HT_Burkes", "Burkes", "Burkes", "Burkes"},
    {"halftone.HT_Stucki", "Stucki", "Stucki", "Stucki"},
    {"halftone.HT_FloydSteinberg", "Floyd–Steinberg", "Floyd–Steinberg", "Floyd–Steinberg"},
    {"halftone.HT_Jarvis-Judice-Ninke", "Jarvis–Judice–Ninke", "Jarvis–Judice–Ninke", "Jarvis–Judice–Ninke"},
    {"halftone.HT_Sierra", "Sierra", "Sierra", "Sierra"},
    {"halftone.HT_StevensonArce", "Stevenson–Arce", "Stevenson–Arce", "Stevenson–Arce"},
    {"page-length", "Paper length", "纸张长度", "紙張長度"},
    {"page-length.fit-content", "As long as the receipt's content", "按小票内容的长度", "依收據內容的長度"},
    {"page-length.full-page", "The whole page as sent", "按发送的整页长度", "依傳送的整頁長度"},
    {"horizontal-offset", "Horizontal offset", "水平偏移", "水平位移"},
    {"horizontal-offset.none", "None", "无", "無"},
    {"horizontal-offset.P10", "1 mm right", "向右 1 毫米", "向右 1 公釐"},
    {"horizontal-offset.P20", "2 mm right", "向右 2 毫米", "向右 2 公釐"},
    {"horizontal-offset.P30", "3 mm right", "向右 3 毫米", "向右 3 公釐"},
    {"horizontal-offset.P40", "4 mm right", "向右 4 毫米", "向右 4 公釐"},
    {"horizontal-offset.P50", "5 mm right", "向右 5 毫米", "向右 5 公釐"},
    {"horizontal-offset.P60", "6 mm right", "向右 6 毫米", "向右 6 公釐"},
    {"horizontal-offset.P70", "7 mm right", "向右 7 毫米", "向右 7 公釐"},
    {"horizontal-offset.P80", "8 mm right", "向右 8 毫米", "向右 8 公釐"},
    {"horizontal-offset.M10", "1 mm left", "向左 1 毫米", "向左 1 公釐"},
    {"horizontal-offset.M20", "2 mm left", "向左 2 毫米", "向左 2 公釐"},
    {"horizontal-offset.M30", "3 mm left", "向左 3 毫米", "向左 3 公釐"},
    {"horizontal-offset.M40", "4 mm left", "向左 4 毫米", "向左 4 公釐"},
    {"horizontal-offset.M50", "5 mm left", "向左 5 毫米", "向左 5 公釐"},
    {"horizontal-offset.M60", "6 mm left", "向左 6 毫米", "向左 6 公釐"},
    {"horizontal-offset.M70", "7 mm left", "向左 7 毫米", "向左 7 公釐"},
    {"horizontal-offset.M80", "8 mm left", "向左 8 毫米", "向左 8 公釐"},
    {"rotate-180", "Upside down", "倒置打印", "上下顛倒列印"},
    {"rotate-180.off", "Off", "关", "關"},
    {"rotate-180.on", "On (turned 180°)", "开（旋转 180°）", "開（旋轉 180°）"},
    {"save-paper", "Save paper in each band", "每段省纸", "每段省紙"},
    {"save-paper.none", "Off", "关", "關"},
    {"save-paper.top", "Leave out white rows at the top", "去掉顶部空白行", "略過頂端空白列"},
    {"save-paper.bottom", "Leave out white rows at the bottom", "去掉底部空白行", "略過底端空白列"},
    {"save-paper.both", "Leave out white rows at the top and bottom", "去掉顶部和底部空白行", "略過頂端和底端空白列"},
    {"cut", "Cut", "切纸", "裁紙"},
    {"cut.each-page", "Cut after each page", "每页后切纸", "每頁後裁紙"},
    {"cut.end-of-job", "Cut at the end of the job", "作业结束时切纸", "工作結束時裁紙"},
    {"cut.none", "Do not cut", "不切纸", "不裁紙"},
    {"cash-drawer", "Cash drawer", "钱箱", "錢箱"},
    {"cash-drawer.none", "Do not open", "不打开", "不開啟"},
    {"cash-drawer.pin-2", "Open (drawer on pin 2)", "打开（钱箱接 2 号针）", "開啟（錢箱接 2 號針）"},
    {"cash-drawer.pin-5", "Open (drawer on pin 5)", "打开（钱箱接 5 号针）", "開啟（錢箱接 5 號針）"},
    {"slice-feed", "Feed after each raster slice", "每个光栅条后走纸", "每個點陣條後進紙"},
    {"slice-feed.feed-24", "Feed the rows printed (most printers)", "按打印的行数走纸（大多数打印机）", "依列印的列數進紙（大多數印表機）"},
    {"slice-feed.none", "None (the printer feeds by itself)", "无（打印机自行走纸）", "無（印表機自行進紙）"},
    {"print-darkness", "Darkness", "浓度", "濃度"},
    {"finishings.3", "Do not cut", "不切纸", "不裁紙"},
    {"finishings.11", "Cut", "切纸", "裁紙"},
    {"media", nullptr, "纸张", "紙張"},
    {"orientation-requested", nullptr, "方向", "方向"},
    {"print-color-mode", nullptr, "颜色模式", "色彩模式"},
    {"print-color-mode.auto", nullptr, "自动", "自動"},
    {"print-color-mode.monochrome", nullptr, "黑白", "黑白"},
    {"print-content-optimize", nullptr, "内容优化", "內容最佳化"},
    {"print-content-optimize.auto", nullptr, "自动", "自動"},
    {"print-content-optimize.graphic", nullptr, "图形", "圖形"},
    {"print-content-optimize.photo", nullptr, "照片", "相片"},
    {"print-content-optimize.text", nullptr, "文字", "文字"},
    {"print-content-optimize.text-and-graphic", nullptr, "文字和图形", "文字和圖形"},
    {"print-quality", nullptr, "打印质量", "列印品質"},
    {"print-quality.3", nullptr, "草稿", "草稿"},
    {"print-quality.4", nullptr, "标准", "標準"},
    {"print-quality.5", nullptr, "高", "高"},
    {"print-quality.draft", nullptr, "草稿", "草稿"},
    {"print-quality.normal", nullptr, "标准", "标准"},
    {"print-quality.high", nullptr, "高", "高"},
    {"media-type.continuous", nullptr, "连续纸", "连续纸"},
    {"print-scaling", nullptr, "缩放", "縮放"},
    {"print-scaling.auto", nullptr, "自动", "自動"},
    {"print-scaling.auto-fit", nullptr, "自动适合", "自動符合"},
    {"print-scaling.fill", nullptr, "填满", "填滿"},
    {"print-scaling.fit", nullptr, "适合", "符合"},
    {"print-scaling.none", nullptr, "无", "無"},
    {"print-speed", nullptr, "打印速度", "列印速度"},
    {"printer-resolution", nullptr, "分辨率", "解析度"},
    {"sides", nullptr, "单双面", "單雙面"},
    {"output-bin", nullptr, "出纸口", "出紙槽"},
    {"Auto", nullptr, "自动", "自動"},
    {"Portrait", nullptr, "纵向", "直向"},
    {"Landscape", nullptr, "横向", "橫向"},
    {"Reverse Landscape", nullptr, "反向横向", "反向橫向"},
    {"Reverse Portrait", nullptr, "反向纵向", "反向直向"},
    {"Printing Defaults", nullptr, "打印默认设置", "列印預設值"},
    {"Save Changes", nullptr, "保存更改", "儲存變更"},
    {"Changes saved.", nullptr, "更改已保存。", "變更已儲存。"},
    {"Configure Media", nullptr, "设置纸张", "設定紙張"},
    {"Media", nullptr, "纸张", "紙張"},
    {"Printers", nullptr, "打印机", "印表機"},
    {"Printer", nullptr, "打印机", "印表機"},
    {"Jobs", nullptr, "作业", "工作"},
    {"Status", nullptr, "状态", "狀態"},
    {"Supplies", nullptr, "耗材", "耗材"},
    {"Configuration", nullptr, "配置", "設定"},
    {"Network", nullptr, "网络", "網路"},
    {"Security", nullptr, "安全", "安全性"},
    {"Logs", nullptr, "日志", "記錄"},
    {"Print Test Page", nullptr, "打印测试页", "列印測試頁"},
    {"Identify Printer", nullptr, "识别打印机", "識別印表機"},
    {"Pause Printing", nullptr, "暂停打印", "暫停列印"},
    {"Resume Printing", nullptr, "恢复打印", "繼續列印"},
    {"Delete Printer", nullptr, "删除打印机", "刪除印表機"},
    {"Set as Default", nullptr, "设为默认", "設為預設"},
    {"Hold New Jobs", nullptr, "保留新作业", "保留新工作"},
    {"Release Held New Jobs", nullptr, "释放保留的新作业", "釋放保留的新工作"},
    {"Cancel All Jobs", nullptr, "取消所有作业", "取消所有工作"},
    {"Job #", nullptr, "作业编号", "工作編號"},
    {"Name", nullptr, "名称", "名稱"},
    {"Owner", nullptr, "所有者", "擁有者"},
    {"Pages Completed", nullptr, "已完成页数", "已完成頁數"},
    {"No jobs in history.", nullptr, "没有作业记录。", "沒有工作記錄。"},
    {"default printer", nullptr, "默认打印机", "預設印表機"},
    {"holding new jobs", nullptr, "正在保留新作业", "正在保留新工作"},
    {"Custom Size", nullptr, "自定义尺寸", "自訂尺寸"},
    {"Width", nullptr, "宽度", "寬度"},
    {"Height", nullptr, "高度", "高度"},
    {"Unknown", nullptr, "未知", "未知"},
    {"printer-state.3", nullptr, "空闲", "閒置"},
    {"printer-state.4", nullptr, "正在打印", "列印中"},
    {"printer-state.5", nullptr, "已停止", "已停止"},
    {"printer-state-reasons.media-empty", nullptr, "缺纸", "缺紙"},
    {"printer-state-reasons.media-low", nullptr, "纸将用完", "紙張即將用完"},
    {"printer-state-reasons.door-open", nullptr, "纸仓盖打开", "紙倉蓋開啟"},
    {"printer-state-reasons.offline", nullptr, "离线", "離線"},
    {"printer-state-reasons.other", nullptr, "故障", "故障"},
    {"%d job", nullptr, "%d 个作业", "%d 個工作"},
    {"%d jobs", nullptr, "%d 个作业", "%d 個工作"},
    {"Completed at %s", nullptr, "完成于 %s", "完成於 %s"},
    {"Aborted at %s", nullptr, "中止于 %s", "中止於 %s"},
    {"Canceled at %s", nullptr, "取消于 %s", "取消於 %s"},
    {"Pages", nullptr, "页数", "頁數"},
    {"Change", nullptr, "更改", "變更"},
    {"Location", nullptr, "位置", "位置"},
    {"Organization", nullptr, "组织", "組織"},
    {"Contact", nullptr, "联系人", "聯絡人"},
    {"Not set", nullptr, "未设置", "未設定"},
    {"Add Printer", nullptr, "添加打印机", "新增印表機"},
};

// The strings text of one column: "key" = "label"; a line. PAPPL 1.3.1 stops
// reading a strings text at a comment, so there are none.
std::string StringsText(const char* Label::*column) {
  std::string text;
  for (const Label& label : kLabels)
    if (label.*column) text += std::string("\"") + label.key + "\" = \"" + label.*column + "\";\n";
  return text;
}

}  // namespace

const std::vector<WebStrings>& ReceiptWebStrings() {
  static const std::string english = StringsText(&Label::english);
  static const std::string simplified = StringsText(&Label::simplified);
  static const std::string traditional = StringsText(&Label::traditional);
  static const std::vector<WebStrings> strings = {
      {"en", english.c_str()},           {"zh-CN", simplified.c_str()},    {"zh-SG", simplified.c_str()},
      {"zh-Hans", simplified.c_str()},   {"zh", simplified.c_str()},       {"zh-TW", traditional.c_str()},
      {"zh-HK", traditional.c_str()},    {"zh-Hant", traditional.c_str()},
  };
  return strings;
}

bool ParseWebStrings(const char* data, std::map<std::string, std::string>* pairs, std::string* badLine) {
  std::istringstream in(data ? data : "");
  std::string line;
  // A quoted text from `at`, escapes kept as they are; false when unclosed.
  auto quoted = [](const std::string& s, size_t* at, std::string* out) {
    if (*at >= s.size() || s[*at] != '"') return false;
    const size_t end = s.find('"', *at + 1);
    if (end == std::string::npos) return false;
    *out = s.substr(*at + 1, end - *at - 1);
    *at = end + 1;
    return true;
  };
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    size_t at = 0;
    std::string key, value;
    const bool ok = quoted(line, &at, &key) && line.compare(at, 3, " = ") == 0 && (at += 3, quoted(line, &at, &value)) &&
                    line.substr(at) == ";";
    if (!ok) {
      *badLine = line;
      return false;
    }
    (*pairs)[key] = value;
  }
  return true;
}
