#pragma once
#include <cstdint>
#include <string>

namespace pellora {

// What the About dialog tells of the computer.
std::string OperatingSystemName();
std::string ProcessorName();
uint64_t PhysicalMemoryBytes();

} // namespace pellora
