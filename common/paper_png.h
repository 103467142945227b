// paper_png.h: the paper a stream makes, as a picture.
#ifndef LORVEX_COMMON_PAPER_PNG_H
#define LORVEX_COMMON_PAPER_PNG_H

#include "escpos_stream.h"

// Writes the paper as an RGB PNG: white paper, black dots, cuts as a dashed
// red line across. False when the file cannot be written.
bool WritePaperPng(const Paper& paper, const char* path);

#endif  // LORVEX_COMMON_PAPER_PNG_H
