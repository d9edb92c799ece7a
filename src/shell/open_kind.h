#pragma once
#include "stores/open_kind.h"

#include <string>

namespace pellora {

TOpenKind KindOfPath(const std::string& path);

} // namespace pellora
