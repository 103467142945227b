// The printer application's web resources: the option labels in every
// language, and the icon.
#include <gtest/gtest.h>

#include <stb_image.h>

#include <iconv.h>

#include <map>
#include <string>

#include "printer_icon.h"
#include "receipt_options.h"
#include "web_strings.h"

namespace {

class WebLabels : public ::testing::TestWithParam<WebStrings> {};

// A shop owner sees a label for every option and every value, never a
// keyword, in each language the pages are offered in.
TEST_P(WebLabels, EveryOptionAndValueHasALabel) {
  std::map<std::string, std::string> labels;
  std::string bad;
  ASSERT_TRUE(ParseWebStrings(GetParam().data, &labels, &bad)) << GetParam().language << ": " << bad;
  for (const ReceiptOption& option : ReceiptOptions()) {
    EXPECT_TRUE(labels.count(option.name)) << GetParam().language << " " << option.name;
    for (const OptionValue& value : option.values) {
      const std::string key = std::string(option.name) + "." + value.keyword;
      EXPECT_TRUE(labels.count(key)) << GetParam().language << " " << key;
    }
  }
  for (const auto& pair : labels) EXPECT_FALSE(pair.second.empty()) << pair.first;
}

INSTANTIATE_TEST_SUITE_P(Languages, WebLabels, ::testing::ValuesIn(ReceiptWebStrings()),
                         [](const ::testing::TestParamInfo<WebStrings>& param) {
                           std::string name = param.param.language;
                           for (char& c : name)
                             if (c == '-') c = '_';
                           return name;
                         });

std::map<std::string, std::string> LabelsOf(const char* language) {
  std::map<std::string, std::string> labels;
  std::string bad;
  for (const WebStrings& s : ReceiptWebStrings()) {
    if (std::string(s.language) == language) {
      EXPECT_TRUE(ParseWebStrings(s.data, &labels, &bad)) << bad;
    }
  }
  return labels;
}

// The ideographs (U+4E00 to U+9FFF) of a UTF-8 text that Big5, the
// Traditional Chinese character set, has no place for: Simplified-only
// characters such as 标 or 连.
std::string NotInBig5(const std::string& text) {
  std::string missing;
  iconv_t toBig5 = iconv_open("BIG5", "UTF-8");
  EXPECT_NE(toBig5, reinterpret_cast<iconv_t>(-1));
  for (size_t i = 0; i < text.size();) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    const size_t n = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    const std::string ch = text.substr(i, n);
    i += n;
    if (n != 3 || ch < "\xE4\xB8\x80" || ch > "\xE9\xBF\xBF") continue;
    char in[4] = {}, out[8];
    ch.copy(in, 3);
    char* from = in;
    char* to = out;
    size_t inLeft = 3, outLeft = sizeof out;
    iconv(toBig5, nullptr, nullptr, nullptr, nullptr);
    if (iconv(toBig5, &from, &inLeft, &to, &outLeft) == static_cast<size_t>(-1)) missing += ch;
  }
  iconv_close(toBig5);
  return missing;
}

// Every Traditional label is written in Traditional characters, and where
// its Simplified twin has characters of its own, the two differ.
TEST(WebLabels, TraditionalLabelsHoldNoSimplifiedOnlyCharacters) {
  const std::map<std::string, std::string> simplified = LabelsOf("zh-CN"), traditional = LabelsOf("zh-TW");
  EXPECT_EQ(NotInBig5("标准连续纸"), "标连续纸") << "the check itself";
  EXPECT_EQ(simplified.size(), traditional.size());
  for (const auto& [key, label] : simplified) {
    auto twin = traditional.find(key);
    ASSERT_NE(twin, traditional.end()) << key;
    EXPECT_EQ(NotInBig5(twin->second), "") << key << ": " << twin->second;
    if (!NotInBig5(label).empty()) {
      EXPECT_NE(twin->second, label) << key;
    }
  }
  EXPECT_EQ(traditional.at("print-quality.normal"), "標準");
  EXPECT_EQ(traditional.at("media-type.continuous"), "連續紙");
  EXPECT_EQ(traditional.at("B&W"), "黑白");
  EXPECT_EQ(simplified.at("cut.each-page"), "每页后切纸");
  EXPECT_EQ(traditional.at("cut.each-page"), "每頁後裁紙");
}

TEST(WebLabels, MalformedLinesAreRefused) {
  std::map<std::string, std::string> labels;
  std::string bad;
  EXPECT_TRUE(ParseWebStrings("\"a\" = \"b\";\n\n\"c\" = \"d\";\n", &labels, &bad));
  EXPECT_EQ(labels["a"], "b");
  for (const char* text : {"/* a comment */\n", "\"a\" = \"b\"\n", "\"a = \"b\";\n", "a = \"b\";\n", "\"a\" \"b\";\n", "\"a\" = \"b\"; x\n"}) {
    EXPECT_FALSE(ParseWebStrings(text, &labels, &bad)) << text;
    EXPECT_FALSE(bad.empty());
  }
}

class Icon : public ::testing::TestWithParam<unsigned> {};

// printer-icons' three sizes: a PNG of the size asked, clear around the
// printer, the printer's body opaque and dark, the receipt white.
TEST_P(Icon, IsAPngOfItsSizeWithThePrinterInIt) {
  const unsigned size = GetParam();
  const std::vector<uint8_t> png = PrinterIconPng(size);
  ASSERT_FALSE(png.empty());
  int w = 0, h = 0, channels = 0;
  stbi_uc* pixels = stbi_load_from_memory(png.data(), static_cast<int>(png.size()), &w, &h, &channels, 4);
  ASSERT_NE(pixels, nullptr);
  EXPECT_EQ(w, static_cast<int>(size));
  EXPECT_EQ(h, static_cast<int>(size));
  auto at = [&](double x, double y) {
    return pixels + (static_cast<size_t>(y * size) * size + static_cast<size_t>(x * size)) * 4;
  };
  EXPECT_EQ(at(0.01, 0.01)[3], 0) << "the corner is clear";
  EXPECT_EQ(at(0.5, 0.62)[3], 255) << "the body is opaque";
  EXPECT_LT(at(0.5, 0.62)[0], 80) << "the body is dark";
  EXPECT_EQ(at(0.29, 0.40)[0], 255) << "the receipt is white";
  stbi_image_free(pixels);
}

INSTANTIATE_TEST_SUITE_P(Sizes, Icon, ::testing::Values(48u, 128u, 512u));

}  // namespace
