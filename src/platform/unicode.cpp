#include "platform/unicode.h"

namespace pellora {

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | c >> 6);
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | c >> 12);
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | c >> 18);
    out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

size_t DecodeUtf8(std::string_view text, size_t at, char32_t& c) {
  auto p = reinterpret_cast<const unsigned char*>(text.data()) + at;
  const size_t left = text.size() - at;
  unsigned char b = p[0];
  if (b < 0x80) {
    c = b;
    return 1;
  }
  size_t len;
  unsigned char lo = 0x80, hi = 0xBF;
  if (b >= 0xC2 && b <= 0xDF) {
    len = 2;
    c = b & 0x1F;
  } else if (b >= 0xE0 && b <= 0xEF) {
    len = 3;
    c = b & 0x0F;
    if (b == 0xE0) lo = 0xA0;
    if (b == 0xED) hi = 0x9F; // no surrogates
  } else if (b >= 0xF0 && b <= 0xF4) {
    len = 4;
    c = b & 0x07;
    if (b == 0xF0) lo = 0x90;
    if (b == 0xF4) hi = 0x8F;
  } else {
    return 0;
  }
  if (left < len) return 0;
  for (size_t i = 1; i < len; ++i) {
    unsigned char cont = p[i];
    if (cont < (i == 1 ? lo : 0x80) || cont > (i == 1 ? hi : 0xBF)) return 0;
    c = c << 6 | (cont & 0x3F);
  }
  return len;
}

bool IsFormatCharacter(char32_t c) {
  struct TRange {
    char32_t first, last;
  };
  // Unicode 15's Cf, in order.
  static constexpr TRange ranges[] = {
      {0x00AD, 0x00AD},   {0x0600, 0x0605},   {0x061C, 0x061C},   {0x06DD, 0x06DD},
      {0x070F, 0x070F},   {0x0890, 0x0891},   {0x08E2, 0x08E2},   {0x180E, 0x180E},
      {0x200B, 0x200F},   {0x202A, 0x202E},   {0x2060, 0x2064},   {0x2066, 0x206F},
      {0xFEFF, 0xFEFF},   {0xFFF9, 0xFFFB},   {0x110BD, 0x110BD}, {0x110CD, 0x110CD},
      {0x13430, 0x1343F}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0001, 0xE0001},
      {0xE0020, 0xE007F},
  };
  if (c < 0xAD) return false;
  for (const TRange& range : ranges)
    if (c <= range.last) return c >= range.first;
  return false;
}

size_t Utf8PrefixSize(std::string_view text, size_t count) {
  size_t at = 0;
  char32_t c;
  for (; count > 0 && at < text.size(); --count) {
    size_t len = DecodeUtf8(text, at, c);
    at += len == 0 ? 1 : len;
  }
  return at;
}

size_t Utf8Length(std::string_view text) {
  size_t count = 0;
  char32_t c;
  for (size_t at = 0; at < text.size(); ++count) {
    size_t len = DecodeUtf8(text, at, c);
    at += len == 0 ? 1 : len;
  }
  return count;
}

bool IsValidUtf8(std::string_view text) {
  char32_t c;
  for (size_t i = 0; i < text.size();) {
    if (static_cast<unsigned char>(text[i]) < 0x80) {
      ++i;
      continue;
    }
    size_t len = DecodeUtf8(text, i, c);
    if (len == 0) return false;
    i += len;
  }
  return true;
}

size_t Utf8IncompleteTail(std::string_view text) {
  // The lead byte of the last sequence lies at most three bytes back.
  for (size_t back = 1; back <= 3 && back <= text.size(); ++back) {
    auto b = static_cast<unsigned char>(text[text.size() - back]);
    if ((b & 0xC0) == 0x80) continue; // a continuation byte: look further back
    size_t need = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
    if (need <= back) return 0;
    // Cut short only if what there is could still begin a well-formed sequence.
    std::string_view tail = text.substr(text.size() - back);
    std::string probe(tail);
    probe.append(need - back, static_cast<char>(0x80));
    char32_t c;
    // The continuation bytes chosen may be below the range a lead byte allows (E0, F0).
    for (unsigned char fill : {0x80, 0x90, 0xA0}) {
      for (size_t k = back; k < need; ++k)
        probe[k] = static_cast<char>(fill);
      if (DecodeUtf8(probe, 0, c) == need) return back;
    }
    return 0;
  }
  return 0;
}

void AppendUtf16Le(std::string& out, char32_t c) {
  auto put = [&out](char32_t u) {
    out += static_cast<char>(u & 0xFF);
    out += static_cast<char>(u >> 8 & 0xFF);
  };
  if (c >= 0x10000) {
    put(0xD800 + ((c - 0x10000) >> 10));
    put(0xDC00 + ((c - 0x10000) & 0x3FF));
  } else {
    put(c);
  }
}

std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
  std::string out;
  out.reserve(bytes.size());
  auto unit = [&](size_t i) -> char32_t {
    auto b0 = static_cast<unsigned char>(bytes[i]), b1 = static_cast<unsigned char>(bytes[i + 1]);
    return bigEndian ? char32_t(b0 << 8 | b1) : char32_t(b1 << 8 | b0);
  };
  size_t n = bytes.size() & ~size_t(1);
  for (size_t i = 0; i < n; i += 2) {
    char32_t c = unit(i);
    if (c >= 0xD800 && c <= 0xDBFF && i + 3 < n) {
      char32_t low = unit(i + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        AppendUtf8(out, 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00));
        i += 2;
        continue;
      }
    }
    AppendUtf8(out, c >= 0xD800 && c <= 0xDFFF ? 0xFFFD : c);
  }
  return out;
}

std::string Utf8ToUtf16Le(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size() * 2);
  size_t i = 0;
  while (i < utf8.size()) {
    char32_t c;
    size_t len = DecodeUtf8(utf8, i, c);
    if (len == 0) {
      c = 0xFFFD;
      len = 1;
    }
    i += len;
    AppendUtf16Le(out, c);
  }
  return out;
}

} // namespace pellora
