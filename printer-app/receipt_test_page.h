// receipt_test_page.h: the printer application's test page: a solid black block
// and, in words, what its look on paper says about the printer's raster
// command, so the user can pick the slice-feed setting.
#ifndef LORVEX_PRINTER_APP_RECEIPT_TEST_PAGE_H
#define LORVEX_PRINTER_APP_RECEIPT_TEST_PAGE_H

#include <cstdint>
#include <string>
#include <vector>

// The page for a printer's line of `width` dots (576 or 384): 8-bit gray,
// top row first.
std::vector<uint8_t> TestPagePixels(unsigned width, unsigned* height);

// Writes it as a PNG; false when the file cannot be written.
bool WriteTestPage(const char* path, unsigned width);

// The slip Identify-Printer prints, in the printer's own ESC/POS: the
// printer's name large and centred, where it is found, the client's message
// if any, then a cut. Bytes outside printable ASCII become '?', so that any
// code page prints it as sent.
std::string IdentifySlip(const std::string& name, const std::string& address, const std::string& message);

#endif  // LORVEX_PRINTER_APP_RECEIPT_TEST_PAGE_H
