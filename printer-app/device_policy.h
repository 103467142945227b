// device_policy.h: which device URIs a printer may be made on.
//
// The server may run as root and a printer's device is written with its
// rights, so every printer, however it is made (IPP Create-Printer, the web
// page, the command line, the saved state), passes this one check:
// - usb:, socket:, dnssd: and snmp: reach printers, never files;
// - serial: on a serial port (see serial_port.h), or a pseudo-terminal of
//   the server's own user;
// - file: on a character device of a printer class (USB printer class,
//   parallel port) or /dev/null, after resolving links; a serial port as a
//   file is refused with the serial: URI to use instead, since written as a
//   file its line is never set up;
// - file: on a regular file, or on a folder (with or without "?ext="), only
//   inside the one folder the administrator names (file-device-dir), after
//   resolving links and "..". Without that folder, no files at all.
#ifndef LORVEX_PRINTER_APP_DEVICE_POLICY_H
#define LORVEX_PRINTER_APP_DEVICE_POLICY_H

#include <string>

// Empty when a printer may be made on `uri`; otherwise why not, one
// sentence for the administrator. `fileDeviceDir` is the folder that file:
// URIs may write in, or empty for none.
std::string RefuseDevice(const std::string& uri, const std::string& fileDeviceDir);

// True for a file: URI on a serial port, which RefuseDevice refuses for a
// new printer: one saved before serial: devices existed is kept, so that an
// upgrade does not drop it.
bool SerialPortAsFile(const std::string& uri);

#endif  // LORVEX_PRINTER_APP_DEVICE_POLICY_H
