#include "support/temp_dir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace pellora::test {

TTempDir::TTempDir() {
  std::string pattern = (fs::temp_directory_path() / "pellora-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  FPath = pattern;
}

TTempDir::~TTempDir() {
  std::error_code ec;
  fs::remove_all(FPath, ec);
}

std::string TTempDir::operator/(std::string_view name) const { return FPath + "/" + std::string(name); }

std::string TTempDir::Write(std::string_view name, std::string_view bytes) const {
  std::string path = *this / name;
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return path;
}

std::string TTempDir::MakeDir(std::string_view name) const {
  std::string path = *this / name;
  fs::create_directories(path);
  return path;
}

std::string SharedDataDir() {
  const char* dir = std::getenv("PELLORA_SHARED_DATA");
  std::string path = dir && *dir ? dir : "../shared/data";
  return fs::is_directory(path) ? path : std::string();
}

} // namespace pellora::test
