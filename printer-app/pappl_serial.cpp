// pappl_serial.cpp: PAPPL's side of the serial: devices.
#include "pappl_serial.h"

#include <pappl/pappl.h>

#include <string>

#include "printer_link.h"
#include "serial_port.h"

namespace receipt {

namespace {

bool ListPorts(pappl_device_cb_t cb, void* data, pappl_deverror_cb_t, void*) {
  for (const SerialPortInfo& port : ListSerialPorts()) {
    SerialSettings settings;
    settings.path = port.path;
    if (cb(port.label.c_str(), SerialUri(settings).c_str(), "", data)) return true;
  }
  return false;
}

bool Open(pappl_device_t* device, const char* uri, const char*) {
  SerialSettings settings;
  std::string why;
  if (!ParseSerialUri(uri ? uri : "", &settings, &why)) {
    papplDeviceError(device, "%s", why.c_str());
    return false;
  }
  const int fd = OpenSerialPort(settings, &why);
  if (fd < 0) {
    papplDeviceError(device, "%s", why.c_str());
    return false;
  }
  papplDeviceSetData(device, new int(fd));
  return true;
}

int Fd(pappl_device_t* device) {
  const int* fd = static_cast<int*>(papplDeviceGetData(device));
  return fd ? *fd : -1;
}

void Close(pappl_device_t* device) {
  int* fd = static_cast<int*>(papplDeviceGetData(device));
  if (fd == nullptr) return;
  CloseSerialPort(*fd);
  delete fd;
  papplDeviceSetData(device, nullptr);
}

ssize_t Read(pappl_device_t* device, void* buffer, size_t bytes) {
  return ReadSerial(Fd(device), buffer, bytes, kSerialReadMs);
}

// A printer holding the line (paper out, cover open) is waited for as long
// as it may take to confirm a job.
ssize_t Write(pappl_device_t* device, const void* buffer, size_t bytes) {
  return WriteSerial(Fd(device), buffer, bytes, kConfirmSeconds);
}

pappl_preason_t Status(pappl_device_t*) { return PAPPL_PREASON_NONE; }

void NoDevice(const char*, void*) {}
bool NoDeviceSeen(const char*, const char*, const char*, void*) { return false; }

}  // namespace

void AddSerialScheme() {
  // PAPPL adds its own schemes the first time it needs them, unless one is
  // there already: have it add them first.
  papplDeviceList(static_cast<pappl_devtype_t>(0), NoDeviceSeen, nullptr, NoDevice, nullptr);
  papplDeviceAddScheme("serial", PAPPL_DEVTYPE_SERIAL, ListPorts, Open, Close, Read, Write, Status, nullptr);
}

}  // namespace receipt
