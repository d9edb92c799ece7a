#include "discovery/registry.h"

#include "platform/ascii.h"
#include "platform/unicode.h"

namespace pellora {
namespace {

class TMemoryKey : public TRegistryKey {
public:
  explicit TMemoryKey(const TMemoryHive::TNode& node) : FNode(node) {}
  std::vector<std::string> SubKeyNames() const override {
    std::vector<std::string> names;
    for (const auto& child : FNode.Children)
      names.push_back(child->Name);
    return names;
  }
  bool GetValue(std::string_view name, TRegistryValue& value) const override {
    auto found = FNode.ValueIndex.find(UpperCaseAscii(name));
    if (found == FNode.ValueIndex.end()) return false;
    value = FNode.Values[found->second].second;
    return true;
  }

private:
  const TMemoryHive::TNode& FNode;
};

[[noreturn]] void RaiseDataType(std::string_view name) {
  throw ERegistryException("Invalid data type for '" + std::string(name) + "'");
}

} // namespace

std::vector<std::string> SplitKeyPath(std::string_view path) {
  std::vector<std::string> names;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) names.emplace_back(path.substr(start, end - start));
    start = end + 1;
  }
  return names;
}

void TRegistry::Mount(TRegistryRoot root, std::string_view prefix,
                      std::shared_ptr<const THive> hive) {
  if (hive) FMounts.push_back({root, SplitKeyPath(prefix), std::move(hive)});
}

std::unique_ptr<TRegistryKey> TRegistry::OpenKey(TRegistryRoot root, std::string_view path) const {
  std::vector<std::string> names = SplitKeyPath(path);
  const TMount* best = nullptr;
  for (const auto& mount : FMounts) {
    if (mount.Root != root || mount.Prefix.size() > names.size()) continue;
    bool match = true;
    for (size_t i = 0; i < mount.Prefix.size() && match; ++i)
      match = SameTextAscii(mount.Prefix[i], names[i]);
    if (match && (!best || mount.Prefix.size() > best->Prefix.size())) best = &mount;
  }
  if (!best) return nullptr;
  std::string inner;
  for (size_t i = best->Prefix.size(); i < names.size(); ++i) {
    if (!inner.empty()) inner += '\\';
    inner += names[i];
  }
  return best->Hive->OpenKey(inner);
}

bool ReadString(const TRegistryKey& key, std::string_view name, std::string& text) {
  TRegistryValue value;
  if (!key.GetValue(name, value)) return false;
  if (value.Type != REG_SZ && value.Type != REG_EXPAND_SZ) RaiseDataType(name);
  text = Utf16LeToUtf8(value.Data);
  size_t nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul);
  return true;
}

bool ReadInteger(const TRegistryKey& key, std::string_view name, int32_t& value) {
  TRegistryValue stored;
  if (!key.GetValue(name, stored)) return false;
  if (stored.Type != REG_DWORD || stored.Data.size() < 4) RaiseDataType(name);
  uint32_t bits = 0;
  for (int i = 3; i >= 0; --i)
    bits = bits << 8 | static_cast<unsigned char>(stored.Data[i]);
  value = static_cast<int32_t>(bits);
  return true;
}

bool TryReadString(const TRegistryKey& key, std::string_view name, std::string& text) {
  try {
    return ReadString(key, name, text);
  } catch (const ERegistryException&) {
    return false;
  }
}

bool TryReadInteger(const TRegistryKey& key, std::string_view name, int32_t& value) {
  try {
    return ReadInteger(key, name, value);
  } catch (const ERegistryException&) {
    return false;
  }
}

TMemoryHive::TNode& TMemoryHive::AddKey(std::string_view path) {
  TNode* node = &FRoot;
  for (const auto& name : SplitKeyPath(path)) {
    std::string upper = UpperCaseAscii(name);
    auto found = node->Index.find(upper);
    if (found != node->Index.end()) {
      node = found->second;
      continue;
    }
    node->Children.push_back(std::make_unique<TNode>());
    TNode* child = node->Children.back().get();
    child->Name = name;
    node->Index.emplace(std::move(upper), child);
    node = child;
  }
  return *node;
}

void TMemoryHive::SetValue(TNode& node, std::string_view name, TRegistryValue value) {
  auto [at, added] = node.ValueIndex.try_emplace(UpperCaseAscii(name), node.Values.size());
  if (added)
    node.Values.emplace_back(std::string(name), std::move(value));
  else
    node.Values[at->second].second = std::move(value);
}

void TMemoryHive::SetValue(std::string_view path, std::string_view name, TRegistryValue value) {
  SetValue(AddKey(path), name, std::move(value));
}

void TMemoryHive::SetString(std::string_view path, std::string_view name, std::string_view utf8,
                            uint32_t type) {
  SetValue(path, name, {type, Utf8ToUtf16Le(utf8) + std::string(2, '\0')});
}

void TMemoryHive::SetInteger(std::string_view path, std::string_view name, uint32_t value) {
  std::string data(4, '\0');
  for (int i = 0; i < 4; ++i)
    data[i] = static_cast<char>(value >> (8 * i) & 0xFF);
  SetValue(path, name, {REG_DWORD, data});
}

std::unique_ptr<TRegistryKey> TMemoryHive::OpenKey(std::string_view path) const {
  const TNode* node = &FRoot;
  for (const auto& name : SplitKeyPath(path)) {
    auto found = node->Index.find(UpperCaseAscii(name));
    if (found == node->Index.end()) return nullptr;
    node = found->second;
  }
  return std::make_unique<TMemoryKey>(*node);
}

} // namespace pellora
