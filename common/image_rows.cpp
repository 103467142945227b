// image_rows.cpp: row decoders for PNG and JPEG, the whole-image fallback,
// and the streaming area-average scaler.
#include "image_rows.h"

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>
#include <png.h>
#include <stb_image.h>

#include "lximage.h"

uint8_t GrayOverWhite(uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
  // Over white: c' = c * a + 255 * (1 - a).
  auto over = [a](unsigned c) { return static_cast<BYTE>((c * a + 255 * (255 - a) + 127) / 255); };
  return LxGrayLevel(over(r), over(g), over(b));
}

namespace {

bool Absurd(unsigned w, unsigned h, std::string* why) {
  if (w == 0 || h == 0 || w > kMaxImageWidth || h > kMaxImageHeight) {
    *why = "absurd image size " + std::to_string(w) + " x " + std::to_string(h);
    return true;
  }
  return false;
}

struct FileCloser {
  void operator()(FILE* f) const {
    if (f) std::fclose(f);
  }
};
using File = std::unique_ptr<FILE, FileCloser>;

// libpng reports errors by longjmp; every call into it sits behind setjmp.
class PngRows : public GrayRows {
 public:
  ~PngRows() override { png_destroy_read_struct(&png_, &info_, nullptr); }

  bool Open(File file, std::string* why) {
    file_ = std::move(file);
    png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, this, &OnError, &OnWarning);
    if (png_ == nullptr || (info_ = png_create_info_struct(png_)) == nullptr) {
      *why = "out of memory";
      return false;
    }
    if (setjmp(png_jmpbuf(png_))) {
      *why = error_.empty() ? "not a readable PNG" : error_;
      return false;
    }
    png_set_user_limits(png_, kMaxImageWidth, kMaxImageHeight);
    png_init_io(png_, file_.get());
    png_read_info(png_, info_);
    const unsigned w = png_get_image_width(png_, info_), h = png_get_image_height(png_, info_);
    if (Absurd(w, h, why)) return false;
    if (png_get_interlace_type(png_, info_) != PNG_INTERLACE_NONE) {
      *why = "interlaced PNG images are not printed; save it without interlacing";
      return false;
    }
    // Everything to 8-bit RGBA.
    png_set_expand(png_);
    png_set_strip_16(png_);
    png_set_gray_to_rgb(png_);
    png_set_add_alpha(png_, 0xFF, PNG_FILLER_AFTER);
    png_read_update_info(png_, info_);
    width_ = w;
    height_ = h;
    rgba_.resize(size_t{w} * 4);
    return true;
  }

  bool Next(uint8_t* row) override {
    if (done_ >= height_ || failed_) return false;
    if (setjmp(png_jmpbuf(png_))) {
      failed_ = true;
      if (error_.empty()) error_ = "the PNG image is damaged";
      return false;
    }
    png_read_row(png_, rgba_.data(), nullptr);
    for (unsigned x = 0; x < width_; ++x) {
      const uint8_t* p = &rgba_[size_t{x} * 4];
      row[x] = GrayOverWhite(p[0], p[1], p[2], p[3]);
    }
    ++done_;
    return true;
  }

 private:
  static void OnError(png_structp png, png_const_charp message) {
    static_cast<PngRows*>(png_get_error_ptr(png))->error_ = std::string("PNG: ") + message;
    png_longjmp(png, 1);
  }
  static void OnWarning(png_structp, png_const_charp) {}

  File file_;
  png_structp png_ = nullptr;
  png_infop info_ = nullptr;
  std::vector<uint8_t> rgba_;
  unsigned done_ = 0;
  bool failed_ = false;
};

class JpegRows : public GrayRows {
 public:
  ~JpegRows() override { jpeg_destroy_decompress(&cinfo_); }

  bool Open(File file, std::string* why) {
    file_ = std::move(file);
    cinfo_.err = jpeg_std_error(&err_.pub);
    err_.pub.error_exit = &OnError;
    err_.pub.output_message = &OnMessage;
    err_.owner = this;
    jpeg_create_decompress(&cinfo_);
    if (setjmp(err_.jump)) {
      *why = error_.empty() ? "not a readable JPEG" : error_;
      return false;
    }
    jpeg_stdio_src(&cinfo_, file_.get());
    jpeg_read_header(&cinfo_, TRUE);
    if (Absurd(cinfo_.image_width, cinfo_.image_height, why)) return false;
    cinfo_.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo_);
    width_ = cinfo_.output_width;
    height_ = cinfo_.output_height;
    rgb_.resize(size_t{width_} * 3);
    return true;
  }

  bool Next(uint8_t* row) override {
    if (failed_ || cinfo_.output_scanline >= cinfo_.output_height) return false;
    if (setjmp(err_.jump)) {
      failed_ = true;
      if (error_.empty()) error_ = "the JPEG image is damaged";
      return false;
    }
    // A truncated file ends in libjpeg's warning and gray filler rows: that
    // is a damaged image, not a picture to print.
    JSAMPROW rows[1] = {rgb_.data()};
    jpeg_read_scanlines(&cinfo_, rows, 1);
    if (cinfo_.err->num_warnings > 0) {
      failed_ = true;
      error_ = "the JPEG image is truncated or damaged";
      return false;
    }
    for (unsigned x = 0; x < width_; ++x) row[x] = GrayOverWhite(rgb_[3 * x], rgb_[3 * x + 1], rgb_[3 * x + 2], 255);
    return true;
  }

 private:
  struct Error {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    JpegRows* owner;
  };
  static void OnError(j_common_ptr cinfo) {
    Error* e = reinterpret_cast<Error*>(cinfo->err);
    char text[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, text);
    e->owner->error_ = std::string("JPEG: ") + text;
    std::longjmp(e->jump, 1);
  }
  static void OnMessage(j_common_ptr) {}

  File file_;
  jpeg_decompress_struct cinfo_{};
  Error err_{};
  std::vector<uint8_t> rgb_;
  bool failed_ = false;
};

// Formats without a row decoder: decoded whole by stb, handed out by rows.
std::unique_ptr<GrayRows> OpenWhole(const std::string& path, std::string* why);

// A picture already in memory, handed out by rows.
class MemoryRows : public GrayRows {
 public:
  MemoryRows(std::vector<uint8_t> pixels, unsigned width, unsigned height) : pixels_(std::move(pixels)) {
    width_ = width;
    height_ = height;
  }
  bool Next(uint8_t* row) override {
    if (done_ >= height_) return false;
    std::memcpy(row, &pixels_[size_t{done_++} * width_], width_);
    return true;
  }

 private:
  std::vector<uint8_t> pixels_;
  unsigned done_ = 0;
};

// Area averaging: each output pixel is the mean of the source area it covers,
// partial source pixels counted by the part they cover.
class ScaledRows : public GrayRows {
 public:
  ScaledRows(std::unique_ptr<GrayRows> source, unsigned width, unsigned height) : source_(std::move(source)) {
    const unsigned sw = source_->Width(), sh = source_->Height();
    width_ = width;
    height_ = height;
    xScale_ = static_cast<double>(sw) / width_;
    yScale_ = static_cast<double>(sh) / height_;
    in_.resize(sw);
    across_.resize(width_);
    sum_.assign(width_, 0.0);
  }

  bool Next(uint8_t* row) override {
    if (out_ >= height_) return false;
    const double top = out_ * yScale_, bottom = (out_ + 1) * yScale_;
    // Source rows [top, bottom), each weighted by its covered part.
    while (true) {
      if (!have_) {
        if (!source_->Next(in_.data())) {
          error_ = source_->Error();
          if (!error_.empty() || inRow_ < source_->Height()) {
            if (error_.empty()) error_ = "the image ended early";
            return false;
          }
          break;  // rounding: the last output row takes what there was
        }
        Across();
        have_ = true;
      }
      const double r0 = inRow_, r1 = inRow_ + 1.0;
      const double cover = std::min(r1, bottom) - std::max(r0, top);
      if (cover > 0)
        for (unsigned x = 0; x < width_; ++x) sum_[x] += across_[x] * cover;
      weight_ += cover > 0 ? cover : 0;
      if (r1 <= bottom + 1e-9) {  // this source row is used up
        have_ = false;
        ++inRow_;
        if (r1 >= bottom - 1e-9) break;
      } else {
        break;  // the rest of it belongs to the next output row
      }
    }
    for (unsigned x = 0; x < width_; ++x) {
      const double v = weight_ > 0 ? sum_[x] / weight_ : 255.0;
      row[x] = static_cast<uint8_t>(std::min(255.0, v + 0.5));
      sum_[x] = 0;
    }
    weight_ = 0;
    ++out_;
    return true;
  }

 private:
  // The current source row averaged across into the output columns.
  void Across() {
    for (unsigned x = 0; x < width_; ++x) {
      const double left = x * xScale_, right = (x + 1) * xScale_;
      double sum = 0, covered = 0;
      for (unsigned s = static_cast<unsigned>(left); s < in_.size() && s < right; ++s) {
        const double c = std::min(right, s + 1.0) - std::max(left, static_cast<double>(s));
        sum += in_[s] * c;
        covered += c;
      }
      across_[x] = covered > 0 ? sum / covered : 255.0;
    }
  }

  std::unique_ptr<GrayRows> source_;
  double xScale_ = 1, yScale_ = 1;
  std::vector<uint8_t> in_;
  std::vector<double> across_, sum_;
  double weight_ = 0;
  unsigned out_ = 0, inRow_ = 0;
  bool have_ = false;
};

std::unique_ptr<GrayRows> OpenWhole(const std::string& path, std::string* why) {
  int w = 0, h = 0, channels = 0;
  if (!stbi_info(path.c_str(), &w, &h, &channels)) {
    *why = stbi_failure_reason() ? stbi_failure_reason() : "unknown format";
    return nullptr;
  }
  if (Absurd(static_cast<unsigned>(w), static_cast<unsigned>(h), why)) return nullptr;
  stbi_uc* rgba = stbi_load(path.c_str(), &w, &h, &channels, 4);
  if (!rgba) {
    *why = stbi_failure_reason() ? stbi_failure_reason() : "unknown format";
    return nullptr;
  }
  std::vector<uint8_t> gray(static_cast<size_t>(w) * h);
  for (size_t i = 0; i < gray.size(); ++i)
    gray[i] = GrayOverWhite(rgba[4 * i], rgba[4 * i + 1], rgba[4 * i + 2], rgba[4 * i + 3]);
  stbi_image_free(rgba);
  return std::make_unique<MemoryRows>(std::move(gray), static_cast<unsigned>(w), static_cast<unsigned>(h));
}

}  // namespace

std::unique_ptr<GrayRows> OpenGrayRows(const std::string& path, std::string* why) {
  File file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    *why = std::string("cannot open: ") + std::strerror(errno);
    return nullptr;
  }
  uint8_t magic[8] = {};
  const size_t n = std::fread(magic, 1, sizeof magic, file.get());
  std::rewind(file.get());
  if (n == 8 && png_sig_cmp(magic, 0, 8) == 0) {
    auto rows = std::make_unique<PngRows>();
    return rows->Open(std::move(file), why) ? std::move(rows) : nullptr;
  }
  if (n >= 3 && magic[0] == 0xFF && magic[1] == 0xD8 && magic[2] == 0xFF) {
    auto rows = std::make_unique<JpegRows>();
    return rows->Open(std::move(file), why) ? std::move(rows) : nullptr;
  }
  file.reset();
  return OpenWhole(path, why);
}

std::unique_ptr<GrayRows> ScaleDownTo(std::unique_ptr<GrayRows> source, unsigned width) {
  if (!source || source->Width() <= width) return source;
  const unsigned long long sw = source->Width(), sh = source->Height();
  const unsigned height = std::max(1u, static_cast<unsigned>((sh * width + sw / 2) / sw));
  return ScaleTo(std::move(source), width, height);
}

std::unique_ptr<GrayRows> ScaleTo(std::unique_ptr<GrayRows> source, unsigned width, unsigned height) {
  if (!source || width == 0 || height == 0) return nullptr;
  return std::make_unique<ScaledRows>(std::move(source), width, height);
}

