// receipt_options.cpp: the option rows, their parsing and the job rules.
#include "receipt_options.h"

#include <algorithm>

namespace {

using receipt::Cut;
using receipt::Options;

// The halftone options by their driver names, each with its label.
std::vector<OptionValue> HalftoneValues() {
  std::vector<OptionValue> v{{"auto", {"Automatic (by content and quality)", "自动（按内容和质量）", "自動（依內容和品質）"}}};
  const Label labels[kHalftoneOptions] = {
      {"None (black and white, for text)", "无（黑白，适合文字）", "無（黑白，適合文字）"},
      {"Ordered dither", "有序抖动", "有序抖動"},
      {"Burkes", "Burkes", "Burkes"},
      {"Stucki", "Stucki", "Stucki"},
      {"Floyd–Steinberg", "Floyd–Steinberg", "Floyd–Steinberg"},
      {"Jarvis–Judice–Ninke", "Jarvis–Judice–Ninke", "Jarvis–Judice–Ninke"},
      {"Sierra", "Sierra", "Sierra"},
      {"Stevenson–Arce", "Stevenson–Arce", "Stevenson–Arce"},
  };
  for (int i = 0; i < kHalftoneOptions; ++i) v.push_back({HalftoneOptionName(i), labels[i]});
  return v;
}

// none, then P10 ... P80 (1 to 8 mm right), M10 ... M80 (left).
std::vector<OptionValue> OffsetValues() {
  std::vector<OptionValue> v{{"none", {"None", "无", "無"}}};
  for (const bool right : {true, false}) {
    for (int mm = 1; mm <= 8; ++mm) {
      const std::string n = std::to_string(mm);
      v.push_back({(right ? "P" : "M") + std::to_string(mm * 10),
                   {n + (right ? " mm right" : " mm left"), (right ? "向右 " : "向左 ") + n + " 毫米",
                    (right ? "向右 " : "向左 ") + n + " 公釐"}});
    }
  }
  return v;
}

}  // namespace

const std::vector<ReceiptOption>& ReceiptOptions() {
  static const std::vector<ReceiptOption> options = {
      {"halftone", {"Halftone", "半色调", "半色調"}, HalftoneValues(), "auto",
       [](const std::string& v, Options& o) { o.halftone = v; }},
      {"page-length",
       {"Paper length", "纸张长度", "紙張長度"},
       {{"fit-content", {"As long as the receipt's content", "按小票内容的长度", "依收據內容的長度"}},
        {"full-page", {"The whole page as sent", "按发送的整页长度", "依傳送的整頁長度"}}},
       "fit-content",
       [](const std::string& v, Options& o) { o.fitPaperToContent = v == "fit-content"; }},
      {"horizontal-offset", {"Horizontal offset", "水平偏移", "水平位移"}, OffsetValues(), "none",
       [](const std::string& v, Options& o) { o.offsetNumber = v == "none" ? 0 : ParseHorizontalOffset(v.c_str()); }},
      {"rotate-180",
       {"Upside down", "倒置打印", "上下顛倒列印"},
       {{"off", {"Off", "关", "關"}}, {"on", {"On (turned 180°)", "开（旋转 180°）", "開（旋轉 180°）"}}},
       "off",
       [](const std::string& v, Options& o) { o.rotate180 = v == "on"; }},
      {"save-paper",
       {"Save paper in each band", "每段省纸", "每段省紙"},
       {{"none", {"Off", "关", "關"}},
        {"top", {"Leave out white rows at the top", "去掉顶部空白行", "略過頂端空白列"}},
        {"bottom", {"Leave out white rows at the bottom", "去掉底部空白行", "略過底端空白列"}},
        {"both", {"Leave out white rows at the top and bottom", "去掉顶部和底部空白行", "略過頂端和底端空白列"}}},
       "none",
       [](const std::string& v, Options& o) {
         o.savePaper = v == "top" ? kSaveTop : v == "bottom" ? kSaveBottom : v == "both" ? kSaveTopAndBottom : kSaveNone;
       }},
      {"cut",
       {"Cut", "切纸", "裁紙"},
       {{"each-page", {"Cut after each page", "每页后切纸", "每頁後裁紙"}},
        {"end-of-job", {"Cut at the end of the job", "作业结束时切纸", "工作結束時裁紙"}},
        {"none", {"Do not cut", "不切纸", "不裁紙"}}},
       "each-page",
       [](const std::string& v, Options& o) {
         o.cut = v == "none" ? Cut::kNone : v == "end-of-job" ? Cut::kEndOfJob : Cut::kEachPage;
       }},
      {"cash-drawer",
       {"Cash drawer", "钱箱", "錢箱"},
       {{"none", {"Do not open", "不打开", "不開啟"}},
        {"pin-2", {"Open (drawer on pin 2)", "打开（钱箱接 2 号针）", "開啟（錢箱接 2 號針）"}},
        {"pin-5", {"Open (drawer on pin 5)", "打开（钱箱接 5 号针）", "開啟（錢箱接 5 號針）"}}},
       "none",
       [](const std::string& v, Options& o) { o.drawerPin = v == "pin-2" ? 2 : v == "pin-5" ? 5 : 0; }},
      {"slice-feed",
       {"Feed after each raster slice", "每个光栅条后走纸", "每個點陣條後進紙"},
       {{"feed-24", {"Feed the rows printed (most printers)", "按打印的行数走纸（大多数打印机）", "依列印的列數進紙（大多數印表機）"}},
        {"none", {"None (the printer feeds by itself)", "无（打印机自行走纸）", "無（印表機自行進紙）"}}},
       "feed-24",
       [](const std::string& v, Options& o) { o.sliceFeed = v != "none"; }},
      {"job-pictures",
       {"Pictures of printed jobs", "已打印作业的图片", "已列印工作的圖片"},
       {{"on", {"Keep them (the last 50)", "保留（最近 50 个）", "保留（最近 50 個）"}},
        {"off", {"Off (receipts carry customers' data)", "关（小票含有顾客资料）", "關（收據含有顧客資料）"}}},
       "on",
       [](const std::string& v, Options& o) { o.keepPicture = v != "off"; }},
  };
  return options;
}

bool TakesValue(const ReceiptOption& option, const std::string& keyword) {
  return std::any_of(option.values.begin(), option.values.end(),
                     [&](const OptionValue& v) { return v.keyword == keyword; });
}

receipt::Options ParseReceiptOptions(const std::function<std::string(const char*)>& value) {
  receipt::Options o;
  for (const ReceiptOption& option : ReceiptOptions()) {
    const std::string v = value(option.name);
    option.apply(TakesValue(option, v) ? v : option.defaultValue, o);
  }
  return o;
}

std::string AutoHalftone(const std::string& content, int quality) {
  if (content == "text") return HalftoneOptionName(kHalftoneThreshold);
  if (content == "photo" && quality >= 5) return HalftoneOptionName(kHalftoneJarvisJudiceNinke);
  return HalftoneOptionName(kHalftoneFloydSteinberg);
}

int JobDarkness(int printDarkness, int printerDarkness) {
  const long long sum = static_cast<long long>(printDarkness) + 2LL * (static_cast<long long>(printerDarkness) - 50);
  return static_cast<int>(std::clamp(sum, -100LL, 100LL));
}

receipt::Options ResolveJobOptions(const JobRequest& request) {
  receipt::Options o = ParseReceiptOptions([&](const char* name) {
    const std::string own = request.jobValue ? request.jobValue(name) : std::string();
    return !own.empty() || !request.printerDefault ? own : request.printerDefault(name);
  });
  if (o.halftone == "auto") o.halftone = AutoHalftone(request.content, request.quality);
  // CUPS 2.4's backend sends "finishings none" with every job, whatever its
  // user chose: that is no choice, and the printer's own cut applies. (ipptool
  // shares CUPS's User-Agent, but not the backend's whole job template.)
  const bool cupsDefault = request.finishingsOnlyNone && request.userAgent.compare(0, 5, "CUPS/") == 0 &&
                           request.fullJobTemplate;
  if (request.finishingsSent && !cupsDefault) {
    if (!request.finishingsTrim)
      o.cut = Cut::kNone;
    else if (o.cut == Cut::kNone)
      o.cut = Cut::kEachPage;
  }
  o.darkness = JobDarkness(request.printDarkness, request.printerDarkness);
  o.lineDots = request.lineDots;
  o.copies = request.copies > 0 ? static_cast<unsigned>(request.copies) : 1;
  o.pagesPerCopy = request.pages > 0 ? static_cast<unsigned>(request.pages) : 0;
  return o;
}
