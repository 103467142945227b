// fake_usb_source.h: USB printing interfaces and their registry keys in
// memory, for the discovery's native tests and its fuzz target.
#ifndef LORVEX_TESTS_FAKE_USB_SOURCE_H
#define LORVEX_TESTS_FAKE_USB_SOURCE_H

#include <map>
#include <string>
#include <vector>

#include "install_rules.h"
#include "usb_discovery.h"

class FakeUsbSource : public lorvex::UsbDeviceSource {
 public:
  struct Device {
    WText path;
    bool detailFails = false;
    bool hasKey = true;
    std::map<WText, lorvex::RegistryValue> values;
  };
  std::vector<Device> devices;
  int openKeys = 0;  // keys open right now: every one must be closed

  Member DevicePath(uint32_t index, WText* path) override {
    if (index >= devices.size()) return Member::kEnd;
    if (devices[index].detailFails) return Member::kSkip;
    *path = devices[index].path;
    return Member::kFound;
  }
  class Key : public lorvex::DeviceParameters {
   public:
    Key(FakeUsbSource* s, const Device* d) : s_(s), d_(d) { ++s_->openKeys; }
    ~Key() override { --s_->openKeys; }
    std::optional<lorvex::RegistryValue> Query(const WText& name) override {
      auto it = d_->values.find(name);
      if (it == d_->values.end()) return std::nullopt;
      return it->second;
    }

   private:
    FakeUsbSource* s_;
    const Device* d_;
  };
  std::unique_ptr<lorvex::DeviceParameters> OpenKey(const WText& key) override {
    for (const Device& d : devices) {
      const std::optional<WText> want = lorvex::DeviceParametersKey(d.path);
      if (d.hasKey && want && *want == key) return std::make_unique<Key>(this, &d);
    }
    return nullptr;
  }
  // Latin-1 as the ANSI page; others become '?', as a conversion would.
  std::string ToAnsi(const WText& text) override {
    std::string out;
    for (WChar c : text) out.push_back(c < 256 ? static_cast<char>(c) : '?');
    return out;
  }

  static lorvex::RegistryValue Text(const std::string& utf8, bool terminated = true) {
    lorvex::RegistryValue v;
    v.type = lorvex::kRegSz;
    WText w = WideFromUtf8(utf8);
    if (terminated) w.push_back(0);
    for (WChar c : w) {
      v.bytes.push_back(static_cast<uint8_t>(c & 0xFF));
      v.bytes.push_back(static_cast<uint8_t>((c >> 8) & 0xFF));
    }
    return v;
  }
  static lorvex::RegistryValue Number(uint32_t n) {
    lorvex::RegistryValue v;
    v.type = lorvex::kRegDword;
    for (int i = 0; i < 4; ++i) v.bytes.push_back(static_cast<uint8_t>(n >> (8 * i)));
    return v;
  }
  // A complete printer of vendor `vid`.
  static Device Printer(const std::string& vid, const std::string& serial, uint32_t port,
                        const std::string& description) {
    Device d;
    d.path = WideFromUtf8("\\\\?\\usb#vid_" + vid + "&pid_5011#" + serial +
                          "#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}");
    d.values[WTXT("Port Description")] = Text(description);
    d.values[WTXT("Port Number")] = Number(port);
    d.values[WTXT("Serial Number")] = Text(serial);
    return d;
  }
};

#endif  // LORVEX_TESTS_FAKE_USB_SOURCE_H
