// pappl_serial.h: the serial: device scheme, for PAPPL's printers, devices
// list and web page (see serial_port.h for the URI and the line).
#ifndef LORVEX_PRINTER_APP_PAPPL_SERIAL_H
#define LORVEX_PRINTER_APP_PAPPL_SERIAL_H

namespace receipt {

// How long a status read waits for the printer's answer on the line.
constexpr int kSerialReadMs = 2000;

// Adds the scheme beside PAPPL's own: before PAPPL's main loop.
void AddSerialScheme();

}  // namespace receipt

#endif  // LORVEX_PRINTER_APP_PAPPL_SERIAL_H
