// printer_models.h: the receipt printers the application drives, one row
// each: what PAPPL's driver list shows, how a device's IEEE 1284 ID is
// matched to a row, and the roll and line the row prints on.
#ifndef LORVEX_PRINTER_APP_PRINTER_MODELS_H
#define LORVEX_PRINTER_APP_PRINTER_MODELS_H

#include <vector>

struct PrinterModel {
  const char* driver;        // PAPPL's driver name
  const char* description;   // as the driver list shows it
  const char* makeAndModel;  // printer-make-and-model
  const char* deviceId;      // the IEEE 1284 ID the driver list gives the row
  // Words in a device's 1284 ID that mark it as this row's model, beyond
  // the family's command set (any of them, anywhere in the ID).
  std::vector<const char*> modelWords;
  unsigned lineDots;         // dots on the line, at 203 dpi
  int rollWidth;             // hundredths of millimetres
  int margin;                // either side of the line, hundredths of millimetres
  // The roll as three lengths to pick from, the default first, and as a
  // range of lengths (min, max) so that clients offer a custom length.
  std::vector<const char*> media;
};

// Every row; the first is the default.
const std::vector<PrinterModel>& PrinterModels();

// The row of PAPPL's driver name, or null.
const PrinterModel* ModelOfDriver(const char* driver);

// The row for a device that says `deviceId` (its IEEE 1284 ID), or null when
// the device is not a receipt printer of this family: an ESC/POS command
// set (CMD:ESC/POS, ESCPOS) or an RVT-520 anywhere in the ID. Of the rows,
// the one with the most of its model words in the ID wins; ties go to the
// earlier row.
const PrinterModel* ModelForDeviceId(const char* deviceId);

#endif  // LORVEX_PRINTER_APP_PRINTER_MODELS_H
