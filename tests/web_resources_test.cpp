// The printer application's web resources: the option labels in every
// language, and the icon.
#include <gtest/gtest.h>

#include <stb_image.h>

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
  for (const VendorOption& option : ReceiptVendorOptions()) {
    EXPECT_TRUE(labels.count(option.name)) << GetParam().language << " " << option.name;
    for (const std::string& value : option.values) {
      const std::string key = std::string(option.name) + "." + value;
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

TEST(WebLabels, TheChineseLabelsAreChinese) {
  std::map<std::string, std::string> simplified, traditional;
  std::string bad;
  for (const WebStrings& s : ReceiptWebStrings()) {
    if (std::string(s.language) == "zh-CN") {
      ASSERT_TRUE(ParseWebStrings(s.data, &simplified, &bad));
    }
    if (std::string(s.language) == "zh-TW") {
      ASSERT_TRUE(ParseWebStrings(s.data, &traditional, &bad));
    }
  }
  EXPECT_EQ(simplified["cut.each-page"], "每页后切纸");
  EXPECT_EQ(traditional["cut.each-page"], "每頁後裁紙");
  EXPECT_EQ(simplified["halftone"], "半色调");
  EXPECT_EQ(traditional["halftone"], "半色調");
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
