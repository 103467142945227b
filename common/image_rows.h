// image_rows.h: images read row by row as 8-bit gray laid on white paper, so
// that a print never holds the whole picture.
//
// PNG (libpng) and JPEG (libjpeg) decode one row at a time; other formats
// that stb reads (BMP, PNM, GIF, ...) are decoded whole and handed out by
// rows. Every source gives the same gray levels: each pixel as RGBA composited
// over white, then the library's gray level of it. A bad, truncated or absurd
// image ends with an error text instead of rows.
#ifndef LORVEX_TOOLS_IMAGE_ROWS_H
#define LORVEX_TOOLS_IMAGE_ROWS_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class GrayRows {
 public:
  virtual ~GrayRows() = default;
  unsigned Width() const { return width_; }
  unsigned Height() const { return height_; }
  // The next row, Width() bytes, top row first. False at the end or on a
  // decoding error (then Error() says what).
  virtual bool Next(uint8_t* row) = 0;
  const std::string& Error() const { return error_; }

 protected:
  unsigned width_ = 0, height_ = 0;
  std::string error_;
};

// The largest picture we print: wider lines are refused, longer ones too.
constexpr unsigned kMaxImageWidth = 20000;
constexpr unsigned kMaxImageHeight = 1000000;

// Opens an image file; null with `why` when it cannot be read or is absurd.
std::unique_ptr<GrayRows> OpenGrayRows(const std::string& path, std::string* why);

// A source scaled down to `width` dots (and its height in proportion,
// rounded), by area averaging over both axes, row by row. Sources no wider
// than `width` pass unchanged.
std::unique_ptr<GrayRows> ScaleDownTo(std::unique_ptr<GrayRows> source, unsigned width);

// A source scaled to exactly width x height by area averaging.
std::unique_ptr<GrayRows> ScaleTo(std::unique_ptr<GrayRows> source, unsigned width, unsigned height);

// Composites one RGBA pixel over white and answers its gray level.
uint8_t GrayOverWhite(uint8_t r, uint8_t g, uint8_t b, uint8_t a);

#endif  // LORVEX_TOOLS_IMAGE_ROWS_H
