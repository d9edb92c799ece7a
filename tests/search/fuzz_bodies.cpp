#include "search/fuzz_bodies.h"

#include "search/query.h"

#include <cstdlib>
#include <string_view>

namespace pellora::fuzz {

void RunQuery(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (std::string_view dates : {std::string_view(), std::string_view("dd.MM.yyyy"),
                                 std::string_view("M/d/yy")}) {
    const TQueryParse query = ParseQuery(text, dates);
    // An error points into the text, and an answer is a tree every reader of it can walk.
    if (!query.Ok) {
      if (query.ErrorOffset > size || query.Error.empty()) std::abort();
      continue;
    }
    QueryNeedsMessages(query.Root);
    for (int term = qtWords; term <= qtSmaller; ++term)
      QueryTexts(query.Root, static_cast<TQueryTerm>(term));
    QueryTreeText(query.Root);
  }
}

} // namespace pellora::fuzz
