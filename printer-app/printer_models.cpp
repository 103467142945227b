// printer_models.cpp: the model table and the device ID match.
#include "printer_models.h"

#include <cstring>

#include "paper.h"

const std::vector<PrinterModel>& PrinterModels() {
  static const std::vector<PrinterModel> models = {
      {"lorvex_80mm", "LORVEX 80 mm ESC/POS receipt printer (RVT-520 and compatibles)",
       "LORVEX RVT-520 80 mm Receipt Printer", "MFG:LORVEX;MDL:RVT-520;CMD:ESC/POS;", {},
       kLineDots, 8000, 400,
       {"om_receipt-80mm_80x297mm", "om_receipt-80mm-short_80x160mm", "om_receipt-80mm-long_80x1000mm",
        "roll_min_80x25mm", "roll_max_80x1000mm"}},
      {"lorvex_58mm", "LORVEX 58 mm ESC/POS receipt printer (384 dots)", "LORVEX 58 mm Receipt Printer",
       "MFG:LORVEX;MDL:58mm;CMD:ESC/POS;", {"58mm", "58 mm"},
       kNarrowLineDots, 5800, 500,
       {"om_receipt-58mm_58x297mm", "om_receipt-58mm-short_58x160mm", "om_receipt-58mm-long_58x1000mm",
        "roll_min_58x25mm", "roll_max_58x1000mm"}},
  };
  return models;
}

const PrinterModel* ModelOfDriver(const char* driver) {
  if (driver == nullptr) return nullptr;
  for (const PrinterModel& model : PrinterModels())
    if (std::strcmp(driver, model.driver) == 0) return &model;
  return nullptr;
}

const PrinterModel* ModelForDeviceId(const char* deviceId) {
  if (deviceId == nullptr) return nullptr;
  // ESC/POS receipt printers name their command set in their ID.
  bool family = false;
  for (const char* word : {"ESC/POS", "ESCPOS", "RVT-520"}) family = family || std::strstr(deviceId, word);
  if (!family) return nullptr;
  const PrinterModel* best = nullptr;
  int bestScore = -1;
  for (const PrinterModel& model : PrinterModels()) {
    int score = 0;
    for (const char* word : model.modelWords) score += std::strstr(deviceId, word) != nullptr;
    if (score > bestScore) {
      best = &model;
      bestScore = score;
    }
  }
  return best;
}
