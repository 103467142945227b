// web_strings.h: what the web pages call the job options and their values,
// in English, Simplified and Traditional Chinese, as NeXTStep strings
// ("option" = "Label"; "option.value" = "Label";) that PAPPL picks by the
// browser's language.
#ifndef LORVEX_PRINTER_APP_WEB_STRINGS_H
#define LORVEX_PRINTER_APP_WEB_STRINGS_H

#include <map>
#include <string>
#include <vector>

struct WebStrings {
  const char* language;  // the tag the browser sends, e.g. "zh-CN"
  const char* data;      // the strings, stable for the life of the program
};

// English ("en"), Simplified Chinese ("zh-CN", "zh-SG", "zh-Hans", "zh")
// and Traditional Chinese ("zh-TW", "zh-HK", "zh-Hant").
const std::vector<WebStrings>& ReceiptWebStrings();

// The pairs of a strings text; false, with the line, when a line is not
// "key" = "value"; (blank lines are skipped; a comment, which PAPPL 1.3.1
// would stop at, is refused).
bool ParseWebStrings(const char* data, std::map<std::string, std::string>* pairs, std::string* badLine);

#endif  // LORVEX_PRINTER_APP_WEB_STRINGS_H
