#include "discovery/hive_file.h"

#include <hivex.h>

#include <cstdlib>

namespace pellora {
namespace {

struct TFree {
  void operator()(void* p) const { std::free(p); }
};

class THiveKey : public TRegistryKey {
public:
  THiveKey(hive_h* handle, hive_node_h node) : FHandle(handle), FNode(node) {}

  std::vector<std::string> SubKeyNames() const override {
    std::vector<std::string> names;
    std::unique_ptr<hive_node_h, TFree> children(hivex_node_children(FHandle, FNode));
    if (!children) return names;
    for (hive_node_h* child = children.get(); *child; ++child) {
      std::unique_ptr<char, TFree> name(hivex_node_name(FHandle, *child));
      if (name) names.emplace_back(name.get());
    }
    return names;
  }

  bool GetValue(std::string_view name, TRegistryValue& value) const override {
    std::string key(name);
    hive_value_h handle = hivex_node_get_value(FHandle, FNode, key.c_str());
    if (!handle) return false;
    // A hive may hold any 32-bit type, which the library's enum cannot: read it as a number.
    static_assert(sizeof(hive_type) == sizeof(uint32_t));
    uint32_t type = 0;
    size_t length = 0;
    std::unique_ptr<char, TFree> data(
        hivex_value_value(FHandle, handle, reinterpret_cast<hive_type*>(&type), &length));
    if (!data) return false;
    value.Type = type;
    value.Data.assign(data.get(), length);
    return true;
  }

private:
  hive_h* FHandle;
  hive_node_h FNode;
};

} // namespace

std::shared_ptr<THiveFile> THiveFile::Open(const std::string& path) {
  hive_h* handle = hivex_open(path.c_str(), 0);
  if (!handle) return nullptr;
  return std::shared_ptr<THiveFile>(new THiveFile(handle));
}

THiveFile::~THiveFile() {
  hivex_close(FHandle);
}

std::unique_ptr<TRegistryKey> THiveFile::OpenKey(std::string_view path) const {
  hive_node_h node = hivex_root(FHandle);
  for (const auto& name : SplitKeyPath(path)) {
    if (!node) break;
    node = hivex_node_get_child(FHandle, node, name.c_str());
  }
  if (!node) return nullptr;
  return std::make_unique<THiveKey>(FHandle, node);
}

} // namespace pellora
