// wtext.cpp: the installer's wide-text formatter and helpers.
#include "wtext.h"

namespace {

WText Digits(unsigned long long value, unsigned base, bool upper) {
  const char* set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  WText out;
  do {
    out.insert(out.begin(), static_cast<WChar>(set[value % base]));
    value /= base;
  } while (value != 0);
  return out;
}

bool IsDigit(WChar c) { return c >= '0' && c <= '9'; }

}  // namespace

std::optional<WText> FormatW(const WChar* format, const std::vector<FormatArg>& args) {
  if (format == nullptr) return std::nullopt;
  WText out;
  size_t next = 0;
  for (const WChar* p = format; *p != 0; ++p) {
    if (*p != '%') {
      out.push_back(*p);
      continue;
    }
    ++p;
    if (*p == '%') {
      out.push_back('%');
      continue;
    }
    bool left = false, zero = false;
    for (; *p == '-' || *p == '0'; ++p) (*p == '-' ? left : zero) = true;
    size_t width = 0;
    for (; IsDigit(*p); ++p) {
      width = width * 10 + static_cast<size_t>(*p - '0');
      if (width > 4096) return std::nullopt;
    }
    bool hasPrecision = false;
    size_t precision = 0;
    if (*p == '.') {
      hasPrecision = true;
      for (++p; IsDigit(*p); ++p) {
        precision = precision * 10 + static_cast<size_t>(*p - '0');
        if (precision > 4096) return std::nullopt;
      }
    }
    // "%ws" and "%s" are the same conversion here.
    if (*p == 'w' && p[1] == 's') ++p;
    const WChar conversion = *p;
    if (conversion == 0 || next >= args.size()) return std::nullopt;
    const FormatArg& arg = args[next++];

    WText body;
    switch (conversion) {
      case 's': {
        if (!arg.IsText()) return std::nullopt;
        const size_t limit = hasPrecision ? precision : SIZE_MAX;
        body.assign(arg.Text(), WideLength(arg.Text(), limit));
        break;
      }
      case 'c':
        if (arg.IsText()) return std::nullopt;
        body.push_back(static_cast<WChar>(arg.Number()));
        break;
      case 'd':
      case 'i':
      case 'u':
      case 'x':
      case 'X': {
        if (arg.IsText()) return std::nullopt;
        long long value = arg.Number();
        bool negative = false;
        unsigned long long magnitude;
        if (conversion == 'd' || conversion == 'i') {
          // Arguments are 32-bit ints as Windows' printf reads them.
          const int32_t v32 = static_cast<int32_t>(value);
          negative = v32 < 0;
          magnitude = negative ? static_cast<unsigned long long>(-static_cast<long long>(v32))
                               : static_cast<unsigned long long>(v32);
        } else {
          magnitude = static_cast<uint32_t>(value);
        }
        const unsigned base = (conversion == 'x' || conversion == 'X') ? 16 : 10;
        body = Digits(magnitude, base, conversion == 'X');
        if (hasPrecision && body.size() < precision) body.insert(0, precision - body.size(), '0');
        if (hasPrecision && precision == 0 && magnitude == 0) body.clear();
        if (zero && !left && !hasPrecision) {
          const size_t room = width > (negative ? 1u : 0u) ? width - (negative ? 1u : 0u) : 0;
          if (body.size() < room) body.insert(0, room - body.size(), '0');
        }
        if (negative) body.insert(body.begin(), '-');
        break;
      }
      default:
        return std::nullopt;
    }
    if (body.size() < width) {
      if (left)
        body.append(width - body.size(), ' ');
      else
        body.insert(0, width - body.size(), ' ');
    }
    out += body;
  }
  return out;
}

std::optional<WText> FormatBounded(size_t capacity, const WChar* format,
                                   const std::vector<FormatArg>& args) {
  std::optional<WText> text = FormatW(format, args);
  if (!text) return std::nullopt;
  return Bounded(*text, capacity);
}

WText Bounded(const WText& text, size_t capacity) {
  if (capacity == 0) return WText();
  return text.size() < capacity ? text : text.substr(0, capacity - 1);
}

WText AsciiLower(WText text) {
  for (WChar& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<WChar>(c - 'A' + 'a');
  return text;
}

WText WideFromUtf8(const std::string& text) {
  WText out;
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    uint32_t cp = c;
    size_t extra = 0;
    if (c >= 0xF0) {
      cp = c & 0x07u;
      extra = 3;
    } else if (c >= 0xE0) {
      cp = c & 0x0Fu;
      extra = 2;
    } else if (c >= 0xC0) {
      cp = c & 0x1Fu;
      extra = 1;
    }
    ++i;
    for (size_t k = 0; k < extra && i < text.size(); ++k, ++i)
      cp = (cp << 6) | (static_cast<unsigned char>(text[i]) & 0x3Fu);
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<WChar>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<WChar>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<WChar>(cp));
    }
  }
  return out;
}

std::string Utf8FromWide(const WText& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t cp = static_cast<uint16_t>(text[i]);
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < text.size()) {
      const uint32_t low = static_cast<uint16_t>(text[i + 1]);
      if (low >= 0xDC00 && low < 0xE000) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      }
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

size_t WideLength(const WChar* text, size_t limit) {
  size_t n = 0;
  if (text == nullptr) return 0;
  while (n < limit && text[n] != 0) ++n;
  return n;
}
