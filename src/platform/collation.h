#pragma once
#include <cstdint>
#include <string_view>
#include <vector>

namespace pellora {

// The user's locale comparison of two 8-bit texts: -1, 0 or 1. The viewer and the command
// line install one from their locale support; the default compares bytes (ASCII case folded
// when ignoreCase).
using TLocaleCompare = int (*)(std::string_view a, std::string_view b, bool ignoreCase);
// The same order for many texts at once (case-sensitive): ranks[i] is the rank of texts[i],
// texts that compare equal sharing one. Locale support can do this faster than one comparison
// at a time; without one the ranks come from the comparison.
using TLocaleRanker = void (*)(const std::vector<std::string_view>& texts,
                               std::vector<uint32_t>& ranks);
void SetLocaleCompare(TLocaleCompare compare, TLocaleRanker ranker = nullptr);
int LocaleCompare(std::string_view a, std::string_view b, bool ignoreCase);
void LocaleRanks(const std::vector<std::string_view>& texts, std::vector<uint32_t>& ranks);

} // namespace pellora
