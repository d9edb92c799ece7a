#pragma once
// Compressed files as the programs that publish list archives write them, for tests and fuzz
// seeds.
#include "stores/decompress.h"

#include <string>
#include <string_view>

namespace pellora::test {

// bytes compressed as one whole stream of the form.
std::string Compress(std::string_view bytes, TCompression compression);

} // namespace pellora::test
