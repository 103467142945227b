// Feeds USB discovery what SetupAPI and the registry may hand it: device
// paths of any length and content, and "Device Parameters" values of any
// type and size, stored terminated or not. Every device must either be
// skipped or give an entry whose texts keep their limits.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "../tests/fake_usb_source.h"
#include "install_rules.h"
#include "usb_discovery.h"

namespace {

// Reads the input as a sequence of length-prefixed pieces.
class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}
  bool More() const { return p_ < end_; }
  uint8_t Byte() { return More() ? *p_++ : 0; }
  std::vector<uint8_t> Bytes(size_t n) {
    n = std::min(n, static_cast<size_t>(end_ - p_));
    std::vector<uint8_t> out(p_, p_ + n);
    p_ += n;
    return out;
  }

 private:
  const uint8_t* p_;
  const uint8_t* end_;
};

WText WideOf(const std::vector<uint8_t>& bytes) {
  WText w;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) w.push_back(static_cast<WChar>(bytes[i] | (bytes[i + 1] << 8)));
  return w;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Reader in(data, size);
  FakeUsbSource source;
  static const WChar* const kNames[] = {WTXT("Port Description"), WTXT("Port Number"),
                                        WTXT("Serial Number")};
  while (in.More() && source.devices.size() < 16) {
    FakeUsbSource::Device device;
    const uint8_t flags = in.Byte();
    // Half the devices get a well-formed prefix, so the registry values are reached.
    WText path = (flags & 1) ? WText(WTXT("\\\\?\\usb#vid_0416")) : WText();
    path += WideOf(in.Bytes(in.Byte()));
    device.path = path;
    device.detailFails = (flags & 2) != 0;
    device.hasKey = (flags & 4) == 0;
    for (const WChar* name : kNames) {
      const uint8_t kind = in.Byte();
      if (kind & 0x80) continue;  // value missing
      lorvex::RegistryValue value;
      value.type = kind & 7;
      value.bytes = in.Bytes(in.Byte());
      device.values[name] = value;
    }
    source.devices.push_back(device);
  }
  lorvex::UsbPrinterList list;
  const int count = lorvex::DiscoverUsbPrinters(source, list);
  if (static_cast<size_t>(count) != list.Size() || source.openKeys != 0) abort();
  for (const lorvex::UsbPrinterEntry* e = list.Head(); e != nullptr; e = e->next.get()) {
    if (e->portDescription.size() > 32 || e->serialNumber.size() > 32 || e->devicePath.size() > 259 ||
        e->vendorId.size() != 4 || e->checksum.size() != 4 || e->flag != 1 ||
        e->hardwareIdentifier.size() > 259)
      abort();
  }
  return 0;
}
