// web_strings.cpp: the labels. Our options' come from their rows
// (receipt_options.h); the table here holds the rest, one row a key with
// its three languages: the darkness and the finishings, and in Chinese
// PAPPL's own printing defaults, states and buttons, which PAPPL 1.3.1 has
// no Chinese for (and which its English has already).
#include "web_strings.h"

#include <sstream>

#include "receipt_options.h"

namespace {

struct PageLabel {
  const char* key;
  const char* english;      // null: PAPPL's own English stands
  const char* simplified;
  const char* traditional;
};

const PageLabel kLabels[] = {
    {"print-darkness", "Darkness", "浓度", "濃度"},
    {"finishings.3", "Do not cut", "不切纸", "不裁紙"},
    {"finishings.11", "Cut", "切纸", "裁紙"},
    {"media", nullptr, "纸张", "紙張"},
    {"orientation-requested", nullptr, "方向", "方向"},
    {"print-color-mode", nullptr, "颜色模式", "色彩模式"},
    {"print-color-mode.auto", nullptr, "自动", "自動"},
    {"print-color-mode.monochrome", nullptr, "黑白", "黑白"},
    {"B&W", nullptr, "黑白", "黑白"},
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
    {"print-quality.normal", nullptr, "标准", "標準"},
    {"print-quality.high", nullptr, "高", "高"},
    {"media-type.continuous", nullptr, "连续纸", "連續紙"},
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
    {"Socket printing on TCP port %d.", nullptr, "套接字打印使用 TCP 端口 %d。", "通訊端列印使用 TCP 連接埠 %d。"},
    {"What the printer printed", nullptr, "打印机打印出的内容", "印表機印出的內容"},
};

// The strings text of one language: "key" = "label"; a line. PAPPL 1.3.1
// stops reading a strings text at a comment, so there are none.
std::string StringsText(const std::string Label::*language, const char* PageLabel::*column) {
  std::string text;
  auto line = [&](const std::string& key, const std::string& label) {
    text += "\"" + key + "\" = \"" + label + "\";\n";
  };
  for (const ReceiptOption& option : ReceiptOptions()) {
    line(option.name, option.label.*language);
    for (const OptionValue& value : option.values) line(std::string(option.name) + "." + value.keyword, value.label.*language);
  }
  for (const PageLabel& label : kLabels)
    if (label.*column) line(label.key, label.*column);
  return text;
}

}  // namespace

const std::vector<WebStrings>& ReceiptWebStrings() {
  static const std::string english = StringsText(&Label::english, &PageLabel::english);
  static const std::string simplified = StringsText(&Label::simplified, &PageLabel::simplified);
  static const std::string traditional = StringsText(&Label::traditional, &PageLabel::traditional);
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
