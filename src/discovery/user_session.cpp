#include "discovery/user_session.h"

namespace pellora {

bool ParseSidString(std::string_view text, TSid& sid) {
  if (text.size() < 2 || (text[0] != 'S' && text[0] != 's') || text[1] != '-') return false;
  std::vector<uint64_t> numbers;
  size_t at = 2;
  for (;;) {
    uint64_t number = 0;
    size_t start = at;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - start < 15)
      number = number * 10 + static_cast<uint64_t>(text[at++] - '0');
    if (at == start) return false;
    numbers.push_back(number);
    if (at == text.size()) break;
    if (text[at++] != '-') return false;
  }
  // Revision, authority, then at least one sub-authority of 32 bits.
  if (numbers.size() < 3 || numbers[0] != 1 || numbers[1] >= (1ULL << 48)) return false;
  TSid parsed;
  for (int i = 0; i < 6; ++i)
    parsed.IdentifierAuthority[i] = static_cast<uint8_t>(numbers[1] >> (8 * (5 - i)) & 0xFF);
  for (size_t i = 2; i < numbers.size(); ++i) {
    if (numbers[i] > 0xFFFFFFFFULL) return false;
    parsed.SubAuthorities.push_back(static_cast<uint32_t>(numbers[i]));
  }
  sid = std::move(parsed);
  return true;
}

} // namespace pellora
