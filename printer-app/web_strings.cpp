// web_strings.cpp: the labels. The Chinese ones also name PAPPL's own
// printing defaults and buttons, which PAPPL 1.3.1 has no Chinese for.
#include "web_strings.h"

#include <cstring>
#include <sstream>

namespace {

const char kEnglish[] = R"strings(/* LORVEX receipt printer options */
"halftone" = "Halftone";
"halftone.auto" = "Automatic (by content and quality)";
"halftone.HT_NONE" = "None (black and white, for text)";
"halftone.HT_Ordered" = "Ordered dither";
"halftone.HT_Burkes" = "Burkes";
"halftone.HT_Stucki" = "Stucki";
"halftone.HT_FloydSteinberg" = "Floyd–Steinberg";
"halftone.HT_Jarvis-Judice-Ninke" = "Jarvis–Judice–Ninke";
"halftone.HT_Sierra" = "Sierra";
"halftone.HT_StevensonArce" = "Stevenson–Arce";
"page-length" = "Paper length";
"page-length.fit-content" = "As long as the receipt's content";
"page-length.full-page" = "The whole page as sent";
"horizontal-offset" = "Horizontal offset";
"horizontal-offset.none" = "None";
"horizontal-offset.P10" = "1 mm right";
"horizontal-offset.P20" = "2 mm right";
"horizontal-offset.P30" = "3 mm right";
"horizontal-offset.P40" = "4 mm right";
"horizontal-offset.P50" = "5 mm right";
"horizontal-offset.P60" = "6 mm right";
"horizontal-offset.P70" = "7 mm right";
"horizontal-offset.P80" = "8 mm right";
"horizontal-offset.M10" = "1 mm left";
"horizontal-offset.M20" = "2 mm left";
"horizontal-offset.M30" = "3 mm left";
"horizontal-offset.M40" = "4 mm left";
"horizontal-offset.M50" = "5 mm left";
"horizontal-offset.M60" = "6 mm left";
"horizontal-offset.M70" = "7 mm left";
"horizontal-offset.M80" = "8 mm left";
"rotate-180" = "Upside down";
"rotate-180.off" = "Off";
"rotate-180.on" = "On (turned 180°)";
"save-paper" = "Save paper in each band";
"save-paper.none" = "Off";
"save-paper.top" = "Leave out white rows at the top";
"save-paper.bottom" = "Leave out white rows at the bottom";
"save-paper.both" = "Leave out white rows at the top and bottom";
"cut" = "Cut";
"cut.each-page" = "Cut after each page";
"cut.end-of-job" = "Cut at the end of the job";
"cut.none" = "Do not cut";
"cash-drawer" = "Cash drawer";
"cash-drawer.none" = "Do not open";
"cash-drawer.pin-2" = "Open (drawer on pin 2)";
"cash-drawer.pin-5" = "Open (drawer on pin 5)";
"slice-feed" = "Feed after each raster slice";
"slice-feed.feed-24" = "Feed the rows printed (most printers)";
"slice-feed.none" = "None (the printer feeds by itself)";
"print-darkness" = "Darkness";
"finishings.3" = "Do not cut";
"finishings.11" = "Cut";
)strings";

const char kSimplified[] = R"strings(/* LORVEX 小票打印机选项 */
"halftone" = "半色调";
"halftone.auto" = "自动（按内容和质量）";
"halftone.HT_NONE" = "无（黑白，适合文字）";
"halftone.HT_Ordered" = "有序抖动";
"halftone.HT_Burkes" = "Burkes";
"halftone.HT_Stucki" = "Stucki";
"halftone.HT_FloydSteinberg" = "Floyd–Steinberg";
"halftone.HT_Jarvis-Judice-Ninke" = "Jarvis–Judice–Ninke";
"halftone.HT_Sierra" = "Sierra";
"halftone.HT_StevensonArce" = "Stevenson–Arce";
"page-length" = "纸张长度";
"page-length.fit-content" = "按小票内容的长度";
"page-length.full-page" = "按发送的整页长度";
"horizontal-offset" = "水平偏移";
"horizontal-offset.none" = "无";
"horizontal-offset.P10" = "向右 1 毫米";
"horizontal-offset.P20" = "向右 2 毫米";
"horizontal-offset.P30" = "向右 3 毫米";
"horizontal-offset.P40" = "向右 4 毫米";
"horizontal-offset.P50" = "向右 5 毫米";
"horizontal-offset.P60" = "向右 6 毫米";
"horizontal-offset.P70" = "向右 7 毫米";
"horizontal-offset.P80" = "向右 8 毫米";
"horizontal-offset.M10" = "向左 1 毫米";
"horizontal-offset.M20" = "向左 2 毫米";
"horizontal-offset.M30" = "向左 3 毫米";
"horizontal-offset.M40" = "向左 4 毫米";
"horizontal-offset.M50" = "向左 5 毫米";
"horizontal-offset.M60" = "向左 6 毫米";
"horizontal-offset.M70" = "向左 7 毫米";
"horizontal-offset.M80" = "向左 8 毫米";
"rotate-180" = "倒置打印";
"rotate-180.off" = "关";
"rotate-180.on" = "开（旋转 180°）";
"save-paper" = "每段省纸";
"save-paper.none" = "关";
"save-paper.top" = "去掉顶部空白行";
"save-paper.bottom" = "去掉底部空白行";
"save-paper.both" = "去掉顶部和底部空白行";
"cut" = "切纸";
"cut.each-page" = "每页后切纸";
"cut.end-of-job" = "作业结束时切纸";
"cut.none" = "不切纸";
"cash-drawer" = "钱箱";
"cash-drawer.none" = "不打开";
"cash-drawer.pin-2" = "打开（钱箱接 2 号针）";
"cash-drawer.pin-5" = "打开（钱箱接 5 号针）";
"slice-feed" = "每个光栅条后走纸";
"slice-feed.feed-24" = "按打印的行数走纸（大多数打印机）";
"slice-feed.none" = "无（打印机自行走纸）";
"finishings.3" = "不切纸";
"finishings.11" = "切纸";
/* PAPPL's own page */
"media" = "纸张";
"orientation-requested" = "方向";
"print-color-mode" = "颜色模式";
"print-color-mode.auto" = "自动";
"print-color-mode.monochrome" = "黑白";
"print-content-optimize" = "内容优化";
"print-content-optimize.auto" = "自动";
"print-content-optimize.graphic" = "图形";
"print-content-optimize.photo" = "照片";
"print-content-optimize.text" = "文字";
"print-content-optimize.text-and-graphic" = "文字和图形";
"print-darkness" = "浓度";
"print-quality" = "打印质量";
"print-quality.3" = "草稿";
"print-quality.4" = "标准";
"print-quality.5" = "高";
"print-scaling" = "缩放";
"print-scaling.auto" = "自动";
"print-scaling.auto-fit" = "自动适合";
"print-scaling.fill" = "填满";
"print-scaling.fit" = "适合";
"print-scaling.none" = "无";
"print-speed" = "打印速度";
"printer-resolution" = "分辨率";
"sides" = "单双面";
"output-bin" = "出纸口";
"Auto" = "自动";
"Portrait" = "纵向";
"Landscape" = "横向";
"Reverse Landscape" = "反向横向";
"Reverse Portrait" = "反向纵向";
"Printing Defaults" = "打印默认设置";
"Save Changes" = "保存更改";
"Changes saved." = "更改已保存。";
"Configure Media" = "设置纸张";
"Media" = "纸张";
"Printers" = "打印机";
"Printer" = "打印机";
"Jobs" = "作业";
"Status" = "状态";
"Supplies" = "耗材";
"Configuration" = "配置";
"Network" = "网络";
"Security" = "安全";
"Logs" = "日志";
"Print Test Page" = "打印测试页";
"Identify Printer" = "识别打印机";
"Pause Printing" = "暂停打印";
"Resume Printing" = "恢复打印";
"Delete Printer" = "删除打印机";
"Set as Default" = "设为默认";
"Hold New Jobs" = "保留新作业";
"Release Held New Jobs" = "释放保留的新作业";
"Cancel All Jobs" = "取消所有作业";
"Job #" = "作业编号";
"Name" = "名称";
"Owner" = "所有者";
"Pages Completed" = "已完成页数";
"No jobs in history." = "没有作业记录。";
"default printer" = "默认打印机";
"holding new jobs" = "正在保留新作业";
"Custom Size" = "自定义尺寸";
"Width" = "宽度";
"Height" = "高度";
"Unknown" = "未知";
)strings";

const char kTraditional[] = R"strings(/* LORVEX 收據印表機選項 */
"halftone" = "半色調";
"halftone.auto" = "自動（依內容和品質）";
"halftone.HT_NONE" = "無（黑白，適合文字）";
"halftone.HT_Ordered" = "有序抖動";
"halftone.HT_Burkes" = "Burkes";
"halftone.HT_Stucki" = "Stucki";
"halftone.HT_FloydSteinberg" = "Floyd–Steinberg";
"halftone.HT_Jarvis-Judice-Ninke" = "Jarvis–Judice–Ninke";
"halftone.HT_Sierra" = "Sierra";
"halftone.HT_StevensonArce" = "Stevenson–Arce";
"page-length" = "紙張長度";
"page-length.fit-content" = "依收據內容的長度";
"page-length.full-page" = "依傳送的整頁長度";
"horizontal-offset" = "水平位移";
"horizontal-offset.none" = "無";
"horizontal-offset.P10" = "向右 1 公釐";
"horizontal-offset.P20" = "向右 2 公釐";
"horizontal-offset.P30" = "向右 3 公釐";
"horizontal-offset.P40" = "向右 4 公釐";
"horizontal-offset.P50" = "向右 5 公釐";
"horizontal-offset.P60" = "向右 6 公釐";
"horizontal-offset.P70" = "向右 7 公釐";
"horizontal-offset.P80" = "向右 8 公釐";
"horizontal-offset.M10" = "向左 1 公釐";
"horizontal-offset.M20" = "向左 2 公釐";
"horizontal-offset.M30" = "向左 3 公釐";
"horizontal-offset.M40" = "向左 4 公釐";
"horizontal-offset.M50" = "向左 5 公釐";
"horizontal-offset.M60" = "向左 6 公釐";
"horizontal-offset.M70" = "向左 7 公釐";
"horizontal-offset.M80" = "向左 8 公釐";
"rotate-180" = "上下顛倒列印";
"rotate-180.off" = "關";
"rotate-180.on" = "開（旋轉 180°）";
"save-paper" = "每段省紙";
"save-paper.none" = "關";
"save-paper.top" = "略過頂端空白列";
"save-paper.bottom" = "略過底端空白列";
"save-paper.both" = "略過頂端和底端空白列";
"cut" = "裁紙";
"cut.each-page" = "每頁後裁紙";
"cut.end-of-job" = "工作結束時裁紙";
"cut.none" = "不裁紙";
"cash-drawer" = "錢箱";
"cash-drawer.none" = "不開啟";
"cash-drawer.pin-2" = "開啟（錢箱接 2 號針）";
"cash-drawer.pin-5" = "開啟（錢箱接 5 號針）";
"slice-feed" = "每個點陣條後進紙";
"slice-feed.feed-24" = "依列印的列數進紙（大多數印表機）";
"slice-feed.none" = "無（印表機自行進紙）";
"finishings.3" = "不裁紙";
"finishings.11" = "裁紙";
/* PAPPL's own page */
"media" = "紙張";
"orientation-requested" = "方向";
"print-color-mode" = "色彩模式";
"print-color-mode.auto" = "自動";
"print-color-mode.monochrome" = "黑白";
"print-content-optimize" = "內容最佳化";
"print-content-optimize.auto" = "自動";
"print-content-optimize.graphic" = "圖形";
"print-content-optimize.photo" = "相片";
"print-content-optimize.text" = "文字";
"print-content-optimize.text-and-graphic" = "文字和圖形";
"print-darkness" = "濃度";
"print-quality" = "列印品質";
"print-quality.3" = "草稿";
"print-quality.4" = "標準";
"print-quality.5" = "高";
"print-scaling" = "縮放";
"print-scaling.auto" = "自動";
"print-scaling.auto-fit" = "自動符合";
"print-scaling.fill" = "填滿";
"print-scaling.fit" = "符合";
"print-scaling.none" = "無";
"print-speed" = "列印速度";
"printer-resolution" = "解析度";
"sides" = "單雙面";
"output-bin" = "出紙槽";
"Auto" = "自動";
"Portrait" = "直向";
"Landscape" = "橫向";
"Reverse Landscape" = "反向橫向";
"Reverse Portrait" = "反向直向";
"Printing Defaults" = "列印預設值";
"Save Changes" = "儲存變更";
"Changes saved." = "變更已儲存。";
"Configure Media" = "設定紙張";
"Media" = "紙張";
"Printers" = "印表機";
"Printer" = "印表機";
"Jobs" = "工作";
"Status" = "狀態";
"Supplies" = "耗材";
"Configuration" = "設定";
"Network" = "網路";
"Security" = "安全性";
"Logs" = "記錄";
"Print Test Page" = "列印測試頁";
"Identify Printer" = "識別印表機";
"Pause Printing" = "暫停列印";
"Resume Printing" = "繼續列印";
"Delete Printer" = "刪除印表機";
"Set as Default" = "設為預設";
"Hold New Jobs" = "保留新工作";
"Release Held New Jobs" = "釋放保留的新工作";
"Cancel All Jobs" = "取消所有工作";
"Job #" = "工作編號";
"Name" = "名稱";
"Owner" = "擁有者";
"Pages Completed" = "已完成頁數";
"No jobs in history." = "沒有工作記錄。";
"default printer" = "預設印表機";
"holding new jobs" = "正在保留新工作";
"Custom Size" = "自訂尺寸";
"Width" = "寬度";
"Height" = "高度";
"Unknown" = "未知";
)strings";

}  // namespace

const std::vector<WebStrings>& ReceiptWebStrings() {
  static const std::vector<WebStrings> strings = {
      {"en", kEnglish},          {"zh-CN", kSimplified},   {"zh-SG", kSimplified},  {"zh-Hans", kSimplified},
      {"zh", kSimplified},       {"zh-TW", kTraditional},  {"zh-HK", kTraditional}, {"zh-Hant", kTraditional},
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
    if (line.empty() || line.rfind("/*", 0) == 0) continue;
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
