// UTF-8 <-> UTF-16: the one decoder, which follows the platform converter.
#include "base/text.h"

namespace zv {
namespace {

constexpr char32_t kInvalid = 0xFFFFFFFF;
constexpr TextUnit kReplacement = 0xFFFD;

// Decodes the sequence that starts with lead (>= 0x80) and continues at text[i], advancing i
// past the bytes it takes. This follows the platform converter byte for byte: a sequence is
// broken off at the first byte that cannot continue it, and the bytes taken up to there become
// one U+FFFD. Overlong forms and surrogates are recognised once their second byte is read
// (taking it), values above U+10FFFF before it is taken. Running out of input breaks the
// sequence off the same way; nothing after it is swallowed.
char32_t DecodeSequence(unsigned char lead, ByteView text, std::size_t& i) {
  int extra = lead >= 0xC2 && lead <= 0xDF ? 1 : lead >= 0xE0 && lead <= 0xEF ? 2
            : lead >= 0xF0 && lead <= 0xF4 ? 3 : 0;
  if (extra == 0) return kInvalid;  // stray continuation byte, C0, C1, F5..FF
  char32_t value = lead & (0x7F >> (extra + 1));
  auto continuation = [&](unsigned& bits) {
    if (i >= text.size()) return false;
    bits = static_cast<unsigned char>(text[i]) ^ 0x80u;
    return bits < 0x40;
  };
  unsigned bits = 0;
  if (extra == 3) {
    if (!continuation(bits)) return kInvalid;
    value = (value << 6) | bits;
    ++i;
    if (value < 0x10) return kInvalid;  // overlong four-byte form
  }
  if (extra >= 2) {
    if (!continuation(bits)) return kInvalid;
    value = (value << 6) | bits;
    if (value >= (0x110000 >> 6)) return kInvalid;  // beyond U+10FFFF
    ++i;
    if (value < 0x20) return kInvalid;  // overlong three-byte form
    if (value >= (0xD800 >> 6) && value <= (0xDFFF >> 6)) return kInvalid;  // surrogate
  }
  if (!continuation(bits)) return kInvalid;
  value = (value << 6) | bits;
  ++i;
  return value;
}

void AppendUtf8(Bytes& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

Text Utf8ToWide(ByteView utf8) {
  Text out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto byte = static_cast<unsigned char>(utf8[i++]);
    if (byte == 0) break;  // the text ends at the first NUL
    if (byte < 0x80) {
      out += static_cast<TextUnit>(byte);
      continue;
    }
    const char32_t c = DecodeSequence(byte, utf8, i);
    if (c == kInvalid) {
      out += kReplacement;
    } else if (c >= 0x10000) {
      out += static_cast<TextUnit>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<TextUnit>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<TextUnit>(c);
    }
  }
  return out;
}

Bytes WideToUtf8(TextView text) {
  Bytes out;
  out.reserve(text.size() * 3);
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = kReplacement;
    }
    AppendUtf8(out, c);
  }
  return out;
}

bool HasLoneSurrogate(TextView text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      ++i;
    } else if (text[i] >= 0xD800 && text[i] <= 0xDFFF) {
      return true;
    }
  }
  return false;
}

bool IsValidUtf8(ByteView utf8) {
  for (std::size_t i = 0; i < utf8.size();) {
    const auto byte = static_cast<unsigned char>(utf8[i++]);
    if (byte >= 0x80 && DecodeSequence(byte, utf8, i) == kInvalid) return false;
  }
  return true;
}

std::size_t Utf16Length(ByteView utf8) {
  std::size_t units = 0;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto byte = static_cast<unsigned char>(utf8[i++]);
    const char32_t c = byte < 0x80 ? byte : DecodeSequence(byte, utf8, i);
    units += c != kInvalid && c >= 0x10000 ? 2 : 1;
  }
  return units;
}

}  // namespace zv
