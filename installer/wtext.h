// wtext.h: the installer's wide texts and its printf-style formatter.
//
// Windows' wide characters are 16 bits; the Windows build uses wchar_t, the
// native build char16_t, so the same sources run the same way on both.
//
// The formatter knows the conversions the installer's formats and string
// table use, with the meaning Windows' wide printf family gives them: "%s"
// and "%ws" take a wide text (mingw's C99 printf would read "%s" as a narrow
// one, so we do not use it), "%c" a character, "%d"/"%u"/"%x"/"%X" integers,
// with flags "-" and "0", a width, and a precision (".4ws" takes at most four
// characters; ".3d" at least three digits). Anything else is a format error.
#ifndef LORVEX_INSTALLER_WTEXT_H
#define LORVEX_INSTALLER_WTEXT_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#if defined(_WIN32)
typedef wchar_t WChar;
#define WTXT(s) L##s
#else
typedef char16_t WChar;
#define WTXT(s) u##s
#endif

typedef std::basic_string<WChar> WText;

// One argument of FormatW: a number or a wide text.
class FormatArg {
 public:
  FormatArg(int value) : number_(value) {}                    // NOLINT: implicit by design
  FormatArg(unsigned value) : number_(value), unsigned_(true) {}  // NOLINT
  FormatArg(long value) : number_(value) {}                   // NOLINT
  FormatArg(unsigned long value) : number_(static_cast<long long>(value)), unsigned_(true) {}  // NOLINT
  FormatArg(const WChar* text) : text_(text ? text : WTXT("(null)")), isText_(true) {}  // NOLINT
  FormatArg(const WText& text) : text_(text.c_str()), isText_(true) {}  // NOLINT

  bool IsText() const { return isText_; }
  const WChar* Text() const { return text_; }
  long long Number() const { return number_; }
  bool IsUnsigned() const { return unsigned_; }

 private:
  long long number_ = 0;
  bool unsigned_ = false;
  const WChar* text_ = nullptr;
  bool isText_ = false;
};

// Formats `format` with `args`. Answers nothing when the format holds a
// conversion outside the subset above, or names more arguments than given,
// or gives a text where a number is due or the other way round.
std::optional<WText> FormatW(const WChar* format, const std::vector<FormatArg>& args);

// FormatW into a buffer of `capacity` characters, as the installer's fixed
// buffers hold them: the result is cut to capacity - 1 characters. Answers
// nothing when the format fails.
std::optional<WText> FormatBounded(size_t capacity, const WChar* format,
                                   const std::vector<FormatArg>& args);

// The text cut to at most `capacity` - 1 characters, as a fixed buffer of that
// many characters holds it.
WText Bounded(const WText& text, size_t capacity);

// Lowercases A-Z only, as the C runtime does in the "C" locale.
WText AsciiLower(WText text);

// Wide text from ASCII/UTF-8 and back, for tests and trace readers: each
// UTF-16 unit stands for itself; UTF-8 is converted properly.
WText WideFromUtf8(const std::string& text);
std::string Utf8FromWide(const WText& text);

// Length of a zero-terminated wide text, at most `limit` characters.
size_t WideLength(const WChar* text, size_t limit = SIZE_MAX);

#endif  // LORVEX_INSTALLER_WTEXT_H
