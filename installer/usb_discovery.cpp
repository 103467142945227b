// usb_discovery.cpp: the walk over the USB printing interfaces.
#include "usb_discovery.h"

#include "install_rules.h"

namespace lorvex {

size_t UsbPrinterList::Size() const {
  size_t n = 0;
  for (const UsbPrinterEntry* e = head_.get(); e != nullptr; e = e->next.get()) ++n;
  return n;
}

void UsbPrinterList::PushFront(std::unique_ptr<UsbPrinterEntry> entry) {
  entry->next = std::move(head_);
  head_ = std::move(entry);
}

void UsbPrinterList::Clear() {
  while (head_) head_ = std::move(head_->next);
}

WText RegistryText(const std::optional<RegistryValue>& value) {
  if (!value || (value->type != kRegSz && value->type != kRegExpandSz)) return WText();
  WText text;
  for (size_t i = 0; i + 1 < value->bytes.size(); i += 2) {
    const WChar c = static_cast<WChar>(value->bytes[i] | (value->bytes[i + 1] << 8));
    if (c == 0) break;
    text.push_back(c);
  }
  return text;
}

std::optional<uint32_t> RegistryNumber(const std::optional<RegistryValue>& value) {
  if (!value || value->type != kRegDword || value->bytes.size() < 4) return std::nullopt;
  return static_cast<uint32_t>(value->bytes[0] | (value->bytes[1] << 8) | (value->bytes[2] << 16) |
                               (static_cast<uint32_t>(value->bytes[3]) << 24));
}

std::unique_ptr<UsbPrinterEntry> ReadUsbPrinter(UsbDeviceSource& source, const WText& devicePath) {
  const std::optional<WText> vendorKey = VendorKey(devicePath);
  if (!vendorKey || !VendorAccepted(*vendorKey)) return nullptr;
  const std::optional<WText> keyPath = DeviceParametersKey(devicePath);
  if (!keyPath) return nullptr;
  std::unique_ptr<DeviceParameters> key = source.OpenKey(*keyPath);
  if (!key) return nullptr;

  // Without a port number the spooler port cannot be named.
  const std::optional<uint32_t> portNumber = RegistryNumber(key->Query(WTXT("Port Number")));
  if (!portNumber) return nullptr;

  auto entry = std::make_unique<UsbPrinterEntry>();
  entry->portDescription = Bounded(RegistryText(key->Query(WTXT("Port Description"))), kUsbTextChars + 1);
  entry->portName = UsbPortName(*portNumber);
  entry->serialNumber = Bounded(RegistryText(key->Query(WTXT("Serial Number"))), kUsbTextChars + 1);
  entry->vendorId = *VendorId(devicePath);
  entry->devicePath = Bounded(devicePath, kNameChars);
  const uint16_t checksum = PortDescriptionChecksum(source.ToAnsi(entry->portDescription));
  entry->checksum = ChecksumText(checksum);
  entry->flag = 1;
  entry->hardwareIdentifier = HardwareIdentifier(entry->portDescription, entry->checksum);
  return entry;
}

int DiscoverUsbPrinters(UsbDeviceSource& source, UsbPrinterList& list) {
  list.Clear();
  int count = 0;
  for (uint32_t index = 0;; ++index) {
    WText path;
    const UsbDeviceSource::Member member = source.DevicePath(index, &path);
    if (member == UsbDeviceSource::Member::kEnd) break;
    if (member == UsbDeviceSource::Member::kSkip) continue;
    std::unique_ptr<UsbPrinterEntry> entry = ReadUsbPrinter(source, path);
    if (!entry) continue;
    list.PushFront(std::move(entry));
    ++count;
  }
  return count;
}

}  // namespace lorvex
