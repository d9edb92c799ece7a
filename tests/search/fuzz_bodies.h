#pragma once
// What the search fuzz target does with one input; the tests replay its seeds through it.
#include <cstddef>
#include <cstdint>

namespace pellora::fuzz {

// The bytes as a search box's query, under no locale date format and two common ones.
void RunQuery(const uint8_t* data, size_t size);

} // namespace pellora::fuzz
