#include "platform/system_info.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <fstream>
#include <string>

namespace pellora {
namespace {

std::string ValueAfter(const std::string& line, char separator) {
  size_t at = line.find(separator);
  if (at == std::string::npos) return {};
  std::string value = line.substr(at + 1);
  size_t first = value.find_first_not_of(" \t\"");
  size_t last = value.find_last_not_of(" \t\"");
  return first == std::string::npos ? std::string() : value.substr(first, last - first + 1);
}

} // namespace

std::string OperatingSystemName() {
  std::string name;
  std::ifstream release("/etc/os-release");
  for (std::string line; std::getline(release, line);)
    if (line.rfind("PRETTY_NAME=", 0) == 0) name = ValueAfter(line, '=');
  struct utsname u{};
  if (uname(&u) == 0) {
    std::string kernel = std::string(u.sysname) + " " + u.release;
    name = name.empty() ? kernel : name + " (" + kernel + ")";
  }
  return name.empty() ? "Linux" : name;
}

std::string ProcessorName() {
  std::ifstream info("/proc/cpuinfo");
  for (std::string line; std::getline(info, line);)
    if (line.rfind("model name", 0) == 0) return ValueAfter(line, ':');
  struct utsname u{};
  return uname(&u) == 0 ? u.machine : "";
}

int ProcessorCount() {
  std::ifstream info("/proc/cpuinfo");
  int count = 0;
  for (std::string line; std::getline(info, line);)
    if (line.rfind("processor", 0) == 0) ++count;
  return count;
}

uint64_t PhysicalMemoryBytes() {
  long pages = sysconf(_SC_PHYS_PAGES);
  long size = sysconf(_SC_PAGE_SIZE);
  return pages > 0 && size > 0 ? static_cast<uint64_t>(pages) * static_cast<uint64_t>(size) : 0;
}

} // namespace pellora
