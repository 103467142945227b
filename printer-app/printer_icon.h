// printer_icon.h: the printer's icon, drawn here: a receipt printer with a
// receipt coming out of it, as PNG at the sizes IPP clients ask for.
#ifndef LORVEX_PRINTER_APP_PRINTER_ICON_H
#define LORVEX_PRINTER_APP_PRINTER_ICON_H

#include <cstdint>
#include <vector>

// The icon `size` x `size` pixels, 8-bit RGBA, top row first; transparent
// around the printer.
std::vector<uint8_t> PrinterIconPixels(unsigned size);

// The same as PNG; empty when it cannot be encoded.
std::vector<uint8_t> PrinterIconPng(unsigned size);

#endif  // LORVEX_PRINTER_APP_PRINTER_ICON_H
