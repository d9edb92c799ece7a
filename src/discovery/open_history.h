#pragma once
#include <string>
#include <vector>

namespace pellora {

// A path field's history keeps distinct paths in the order they were first confirmed: path is
// appended unless an item equals it with ASCII letters compared without regard to case. True
// when it was appended.
bool AddToHistory(std::vector<std::string>& items, const std::string& path);

} // namespace pellora
