#pragma once
// Alphabets of the transfer encodings, shared by the message model and the quick scanner.
#include <array>

namespace pellora {

constexpr unsigned char kCodeBad = 255; // outside the alphabet
constexpr unsigned char kCodePad = 64;  // the base64 "="

// Base64 values 0-63, kCodePad for "=", kCodeBad for any other byte.
constexpr std::array<unsigned char, 256> kBase64Values = [] {
  std::array<unsigned char, 256> t{};
  for (auto& v : t)
    v = kCodeBad;
  for (int i = 0; i < 26; ++i) {
    t['A' + i] = static_cast<unsigned char>(i);
    t['a' + i] = static_cast<unsigned char>(26 + i);
  }
  for (int i = 0; i < 10; ++i)
    t['0' + i] = static_cast<unsigned char>(52 + i);
  t['+'] = 62;
  t['/'] = 63;
  t['='] = kCodePad;
  return t;
}();

// Uuencode values 0-63 ("`" and space are 0), kCodeBad outside the alphabet.
constexpr std::array<unsigned char, 256> kUUValues = [] {
  std::array<unsigned char, 256> t{};
  for (auto& v : t)
    v = kCodeBad;
  for (int c = 33; c <= 95; ++c)
    t[c] = static_cast<unsigned char>(c - 32);
  t['`'] = 0;
  t[' '] = 0;
  return t;
}();

} // namespace pellora
