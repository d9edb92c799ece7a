#include "platform/collation.h"

#include "platform/ascii.h"

#include <algorithm>
#include <numeric>

namespace pellora {
namespace {

int ByteCompare(std::string_view a, std::string_view b, bool ignoreCase) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    auto x = static_cast<unsigned char>(ignoreCase ? AsciiUpper(a[i]) : a[i]);
    auto y = static_cast<unsigned char>(ignoreCase ? AsciiUpper(b[i]) : b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

TLocaleCompare currentCompare = ByteCompare;
TLocaleRanker currentRanker = nullptr;

void RanksByComparison(const std::vector<std::string_view>& texts, std::vector<uint32_t>& ranks) {
  std::vector<uint32_t> byText(texts.size());
  std::iota(byText.begin(), byText.end(), 0u);
  std::sort(byText.begin(), byText.end(),
            [&](uint32_t a, uint32_t b) { return currentCompare(texts[a], texts[b], false) < 0; });
  ranks.assign(texts.size(), 0);
  uint32_t rank = 0;
  for (size_t i = 0; i < byText.size(); ++i) {
    if (i > 0 && currentCompare(texts[byText[i - 1]], texts[byText[i]], false) != 0) ++rank;
    ranks[byText[i]] = rank;
  }
}

} // namespace

void SetLocaleCompare(TLocaleCompare compare, TLocaleRanker ranker) {
  currentCompare = compare ? compare : ByteCompare;
  currentRanker = ranker;
}

int LocaleCompare(std::string_view a, std::string_view b, bool ignoreCase) {
  return currentCompare(a, b, ignoreCase);
}

void LocaleRanks(const std::vector<std::string_view>& texts, std::vector<uint32_t>& ranks) {
  if (currentRanker)
    currentRanker(texts, ranks);
  else
    RanksByComparison(texts, ranks);
}

} // namespace pellora
