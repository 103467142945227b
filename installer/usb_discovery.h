// usb_discovery.h: finding the attached USB receipt printers.
//
// Discovery walks the present devices of the USB printing interface class,
// keeps those of the accepted vendors and reads each one's port number,
// description and serial number from its "Device Parameters" key. The walk
// is plain code over a UsbDeviceSource, the thin face of SetupAPI and the
// registry; the Windows program hands it the real one.
#ifndef LORVEX_INSTALLER_USB_DISCOVERY_H
#define LORVEX_INSTALLER_USB_DISCOVERY_H

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "wtext.h"

namespace lorvex {

// One accepted USB printer.
struct UsbPrinterEntry {
  std::unique_ptr<UsbPrinterEntry> next;
  WText vendorId;            // the four vendor digits as the path writes them
  WText checksum;            // "%04x" of the port-description checksum
  WText portName;            // "USB001"
  WText portDescription;     // first 32 characters of "Port Description"
  WText serialNumber;        // first 32 characters of "Serial Number"
  WText hardwareIdentifier;  // "usbprint\<description><checksum>", lowercase
  WText devicePath;          // opened as a file by the port test
  uint16_t flag = 0;         // 1 for every entry made by discovery
};

// The discovered printers, newest first: the device enumerated last heads
// the list. Discovery owns the entries and frees them when it runs again.
class UsbPrinterList {
 public:
  UsbPrinterList() = default;
  UsbPrinterList(const UsbPrinterList&) = delete;
  UsbPrinterList& operator=(const UsbPrinterList&) = delete;
  ~UsbPrinterList() { Clear(); }

  const UsbPrinterEntry* Head() const { return head_.get(); }
  bool Empty() const { return head_ == nullptr; }
  size_t Size() const;
  void PushFront(std::unique_ptr<UsbPrinterEntry> entry);
  // Frees every entry, one by one (no deep recursion on a long list).
  void Clear();

 private:
  std::unique_ptr<UsbPrinterEntry> head_;
};

// A registry value as stored: its type and its bytes, which need not end in
// a zero.
struct RegistryValue {
  uint32_t type = 0;
  std::vector<uint8_t> bytes;
};
constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;
constexpr uint32_t kRegDword = 4;

// A text value read terminated: the UTF-16 units up to the first zero or the
// end, an odd last byte dropped. Empty for a missing value or one that is not
// a text.
WText RegistryText(const std::optional<RegistryValue>& value);
// A four-byte number, or nothing when the value is missing, not a REG_DWORD,
// or shorter than four bytes.
std::optional<uint32_t> RegistryNumber(const std::optional<RegistryValue>& value);

// An opened "Device Parameters" key; closed when destroyed.
class DeviceParameters {
 public:
  virtual ~DeviceParameters() = default;
  virtual std::optional<RegistryValue> Query(const WText& name) = 0;
};

// What discovery asks of SetupAPI and the registry.
class UsbDeviceSource {
 public:
  enum class Member { kEnd, kSkip, kFound };
  virtual ~UsbDeviceSource() = default;
  // The device path of member `index` of the present USB printing
  // interfaces: kEnd past the last one, kSkip when its detail cannot be had.
  virtual Member DevicePath(uint32_t index, WText* path) = 0;
  // Opens HKEY_LOCAL_MACHINE\<key> for querying values, or null.
  virtual std::unique_ptr<DeviceParameters> OpenKey(const WText& key) = 0;
  // The text in the system ANSI code page, as WideCharToMultiByte makes it
  // into a zeroed 255-byte buffer (empty when it does not fit).
  virtual std::string ToAnsi(const WText& text) = 0;
};

// Builds the entry of one device path, or nothing when the device is to be
// skipped: a path too short for its vendor digits, a vendor outside the
// filter, a missing key, or a key without "Port Number".
std::unique_ptr<UsbPrinterEntry> ReadUsbPrinter(UsbDeviceSource& source, const WText& devicePath);

// Rebuilds `list` from the source and answers the number of entries made.
int DiscoverUsbPrinters(UsbDeviceSource& source, UsbPrinterList& list);

}  // namespace lorvex

#endif  // LORVEX_INSTALLER_USB_DISCOVERY_H
