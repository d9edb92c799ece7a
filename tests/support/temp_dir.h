#pragma once
#include <string>
#include <string_view>

namespace pellora::test {

// A fresh folder under the temporary folder, removed with everything in it on destruction.
class TTempDir {
public:
  TTempDir();
  ~TTempDir();
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;
  const std::string& Path() const { return FPath; }
  // Full path of name inside the folder.
  std::string operator/(std::string_view name) const;
  // Writes bytes to name (creating parent folders) and returns the full path.
  std::string Write(std::string_view name, std::string_view bytes) const;
  std::string MakeDir(std::string_view name) const;

private:
  std::string FPath;
};

// The folder of real files written by other programs, or "" when it is absent.
std::string SharedDataDir();

} // namespace pellora::test
