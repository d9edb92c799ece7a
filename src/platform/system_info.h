#pragma once
#include <cstdint>
#include <string>

namespace pellora {

// What the About dialog tells of the computer.
std::string OperatingSystemName();
// The processor's model name.
std::string ProcessorName();
// The number of processors (cores) the system counts.
int ProcessorCount();
uint64_t PhysicalMemoryBytes();

} // namespace pellora
