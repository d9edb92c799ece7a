#pragma once
// A registry hive file as Windows writes it (NTUSER.DAT, the SOFTWARE hive), read with libhivex.
#include "discovery/registry.h"

#include <memory>
#include <string>

struct hive_h;

namespace pellora {

class THiveFile : public THive {
public:
  // nullptr when the file is missing or is no hive that can be read.
  static std::shared_ptr<THiveFile> Open(const std::string& path);
  ~THiveFile() override;
  THiveFile(const THiveFile&) = delete;
  THiveFile& operator=(const THiveFile&) = delete;

  std::unique_ptr<TRegistryKey> OpenKey(std::string_view path) const override;

private:
  explicit THiveFile(hive_h* handle) : FHandle(handle) {}
  hive_h* FHandle;
};

} // namespace pellora
