// USB discovery over in-memory devices: the vendor filter, the order, the
// 32-character cuts, the registry values as stored, and the fresh list.
#include <gtest/gtest.h>

#include "fake_usb_source.h"
#include "install_rules.h"
#include "usb_discovery.h"

using namespace lorvex;

namespace {
std::string U8(const WText& t) { return Utf8FromWide(t); }
}  // namespace

TEST(UsbDiscovery, OneAcceptedPrinterMakesOneEntry) {
  FakeUsbSource src;
  src.devices.push_back(FakeUsbSource::Printer("0416", "SN0001", 1, "RVT-520 Receipt"));
  UsbPrinterList list;
  ASSERT_EQ(DiscoverUsbPrinters(src, list), 1);
  const UsbPrinterEntry* e = list.Head();
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(U8(e->portName), "USB001");
  EXPECT_EQ(U8(e->portDescription), "RVT-520 Receipt");
  EXPECT_EQ(U8(e->serialNumber), "SN0001");
  EXPECT_EQ(U8(e->vendorId), "0416");
  EXPECT_EQ(e->devicePath, src.devices[0].path);
  EXPECT_EQ(e->flag, 1);
  const uint16_t sum = PortDescriptionChecksum("RVT-520 Receipt");
  EXPECT_EQ(U8(e->checksum), U8(ChecksumText(sum)));
  EXPECT_EQ(U8(e->hardwareIdentifier), "usbprint\\rvt-520 receipt" + U8(ChecksumText(sum)));
  EXPECT_EQ(src.openKeys, 0);
}

TEST(UsbDiscovery, ForeignVendorsAndBrokenDevicesAreSkipped) {
  FakeUsbSource src;
  src.devices.push_back(FakeUsbSource::Printer("046d", "MOUSE", 3, "Not a printer"));
  FakeUsbSource::Device noDetail = FakeUsbSource::Printer("0416", "A", 4, "no detail");
  noDetail.detailFails = true;
  src.devices.push_back(noDetail);
  FakeUsbSource::Device noKey = FakeUsbSource::Printer("0416", "B", 5, "no key");
  noKey.hasKey = false;
  src.devices.push_back(noKey);
  FakeUsbSource::Device noPort = FakeUsbSource::Printer("0416", "C", 6, "no port");
  noPort.values.erase(WTXT("Port Number"));
  src.devices.push_back(noPort);
  FakeUsbSource::Device textPort = FakeUsbSource::Printer("0416", "D", 7, "text port");
  textPort.values[WTXT("Port Number")] = FakeUsbSource::Text("7");
  src.devices.push_back(textPort);
  FakeUsbSource::Device shortPath;
  shortPath.path = WTXT("\\\\?\\usb#vid_04");
  src.devices.push_back(shortPath);
  src.devices.push_back(FakeUsbSource::Printer("04b8", "EPSON1", 2, "TM-T20"));
  UsbPrinterList list;
  ASSERT_EQ(DiscoverUsbPrinters(src, list), 1);
  EXPECT_EQ(U8(list.Head()->portName), "USB002");
  EXPECT_EQ(src.openKeys, 0);
}

TEST(UsbDiscovery, CapitalisedPathIsAcceptedAndKeepsItsVendorCase) {
  FakeUsbSource src;
  FakeUsbSource::Device d = FakeUsbSource::Printer("067B", "X", 9, "POS-80");
  d.path = WTXT("\\\\?\\USB#VID_067B&PID_2305#X#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}");
  src.devices.push_back(d);
  UsbPrinterList list;
  ASSERT_EQ(DiscoverUsbPrinters(src, list), 1);
  EXPECT_EQ(U8(list.Head()->vendorId), "067B");
  EXPECT_EQ(U8(list.Head()->portName), "USB009");
}

TEST(UsbDiscovery, LastEnumeratedComesFirst) {
  FakeUsbSource src;
  src.devices.push_back(FakeUsbSource::Printer("0416", "FIRST", 1, "first"));
  src.devices.push_back(FakeUsbSource::Printer("0483", "SECOND", 2, "second"));
  UsbPrinterList list;
  ASSERT_EQ(DiscoverUsbPrinters(src, list), 2);
  EXPECT_EQ(U8(list.Head()->serialNumber), "SECOND");
  EXPECT_EQ(U8(list.Head()->next->serialNumber), "FIRST");
  EXPECT_EQ(list.Head()->next->next, nullptr);
}

TEST(UsbDiscovery, TextsAreCutTo32Characters) {
  FakeUsbSource src;
  const std::string longText = "RVT-520 Thermal Receipt Printer 80mm USB";
  src.devices.push_back(FakeUsbSource::Printer("0416", longText, 1, longText));
  UsbPrinterList list;
  ASSERT_EQ(DiscoverUsbPrinters(src, list), 1);
  EXPECT_EQ(U8(list.Head()->portDescription), longText.substr(0, 32));
  EXPECT_EQ(U8(list.Head()->serialNumber), longText.substr(0, 32));
  // The checksum covers only the kept 32 characters.
  EXPECT_EQ(U8(list.Head()->checksum), U8(ChecksumText(PortDescriptionChecksum(longText.substr(0, 32)))));
}

TEST(UsbDiscovery, MissingAndUnterminatedTexts) {
  FakeUsbSource src;
  FakeUsbSource::Device d = FakeUsbSource::Printer("0416", "S", 1, "x");
  d.values.erase(WTXT("Port Description"));
  d.values[WTXT("Serial Number")] = FakeUsbSource::Text("UNTERMINATED", /*terminated=*/false);
  d.values[WTXT("Serial Number")].bytes.push_back(0x41);  // an odd last byte
  src.devices.push_back(d);
  UsbPrinterList list;
  ASSERT_EQ(DiscoverUsbPrinters(src, list), 1);
  EXPECT_EQ(U8(list.Head()->portDescription), "");
  EXPECT_EQ(U8(list.Head()->serialNumber), "UNTERMINATED");
  EXPECT_EQ(U8(list.Head()->checksum), "0000");
  EXPECT_EQ(U8(list.Head()->hardwareIdentifier), "usbprint\\0000");
}

TEST(UsbDiscovery, RegistryValuesAsStored) {
  RegistryValue v = FakeUsbSource::Text("ab\0cd");
  EXPECT_EQ(U8(RegistryText(v)), "ab");
  v.type = kRegDword;
  EXPECT_EQ(U8(RegistryText(v)), "");
  EXPECT_EQ(U8(RegistryText(std::nullopt)), "");
  EXPECT_EQ(RegistryNumber(FakeUsbSource::Number(0x01020304)), 0x01020304u);
  RegistryValue shortNumber = FakeUsbSource::Number(1);
  shortNumber.bytes.resize(3);
  EXPECT_FALSE(RegistryNumber(shortNumber).has_value());
  EXPECT_FALSE(RegistryNumber(std::nullopt).has_value());
}

TEST(UsbDiscovery, SecondDiscoveryGivesAFreshList) {
  FakeUsbSource src;
  src.devices.push_back(FakeUsbSource::Printer("0416", "OLD", 1, "old"));
  UsbPrinterList list;
  ASSERT_EQ(DiscoverUsbPrinters(src, list), 1);
  src.devices[0] = FakeUsbSource::Printer("0416", "NEW", 3, "new");
  ASSERT_EQ(DiscoverUsbPrinters(src, list), 1);
  EXPECT_EQ(list.Size(), 1u);
  EXPECT_EQ(U8(list.Head()->serialNumber), "NEW");
  src.devices.clear();
  EXPECT_EQ(DiscoverUsbPrinters(src, list), 0);
  EXPECT_TRUE(list.Empty());
}

TEST(UsbDiscovery, LongListIsFreedWithoutDeepRecursion) {
  UsbPrinterList list;
  for (int i = 0; i < 200000; ++i) list.PushFront(std::make_unique<UsbPrinterEntry>());
  EXPECT_EQ(list.Size(), 200000u);
  list.Clear();
  EXPECT_TRUE(list.Empty());
}
