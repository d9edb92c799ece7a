#pragma once
#include <stdexcept>
#include <string>

namespace pellora {

// The general failure: carries the text that the user is shown.
class EPelloraError : public std::runtime_error {
public:
  explicit EPelloraError(const std::string& message) : std::runtime_error(message) {}
};

} // namespace pellora
