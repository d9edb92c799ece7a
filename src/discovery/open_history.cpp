#include "discovery/open_history.h"

#include "platform/ascii.h"

#include <algorithm>

namespace pellora {

bool AddToHistory(std::vector<std::string>& items, const std::string& path) {
  if (std::any_of(items.begin(), items.end(),
                  [&path](const std::string& item) { return SameTextAscii(item, path); }))
    return false;
  items.push_back(path);
  return true;
}

} // namespace pellora
