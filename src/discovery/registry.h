#pragma once
// Other programs' registry, read only. A registry is made of hives (a Wine prefix's user.reg, a
// mounted disk's NTUSER.DAT, an in-memory tree) mounted under the roots where Windows shows them.
#include "platform/pellora_error.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace pellora {

enum class TRegistryRoot { CurrentUser, LocalMachine, Users };

// Value types as the registry stores them.
enum : uint32_t {
  REG_NONE = 0,
  REG_SZ = 1,
  REG_EXPAND_SZ = 2,
  REG_BINARY = 3,
  REG_DWORD = 4,
  REG_MULTI_SZ = 7,
};

// A value as stored: its type and raw bytes (strings in UTF-16LE).
struct TRegistryValue {
  uint32_t Type = REG_NONE;
  std::string Data;
};

// A value of the wrong type or size.
class ERegistryException : public EPelloraError {
public:
  using EPelloraError::EPelloraError;
};

// An open key. It must not outlive its hive.
class TRegistryKey {
public:
  virtual ~TRegistryKey() = default;
  // Names in UTF-8, in the order the hive keeps them.
  virtual std::vector<std::string> SubKeyNames() const = 0;
  // The value of that name ("" is the key's default value); false when there is none.
  virtual bool GetValue(std::string_view name, TRegistryValue& value) const = 0;
};

// A tree of keys; key paths are names separated by "\", compared without regard to ASCII case.
class THive {
public:
  virtual ~THive() = default;
  // nullptr when the key does not exist or cannot be read.
  virtual std::unique_ptr<TRegistryKey> OpenKey(std::string_view path) const = 0;
};

class TRegistry {
public:
  // Shows hive at root\prefix ("" for the root itself).
  void Mount(TRegistryRoot root, std::string_view prefix, std::shared_ptr<const THive> hive);
  // A leading "\" is ignored; nullptr when no hive holds the key.
  std::unique_ptr<TRegistryKey> OpenKey(TRegistryRoot root, std::string_view path) const;

private:
  struct TMount {
    TRegistryRoot Root;
    std::vector<std::string> Prefix;
    std::shared_ptr<const THive> Hive;
  };
  std::vector<TMount> FMounts;
};

// The names of a key path; empty names (doubled or outer "\") are dropped.
std::vector<std::string> SplitKeyPath(std::string_view path);

// REG_SZ or REG_EXPAND_SZ as UTF-8, taken as stored (no expansion), up to its first NUL; false
// when absent. Another type raises "Invalid data type for '%s'".
bool ReadString(const TRegistryKey& key, std::string_view name, std::string& text);
// A REG_DWORD; false when absent. Another type raises as ReadString does.
bool ReadInteger(const TRegistryKey& key, std::string_view name, int32_t& value);
// The same, false also for a value of another type.
bool TryReadString(const TRegistryKey& key, std::string_view name, std::string& text);
bool TryReadInteger(const TRegistryKey& key, std::string_view name, int32_t& value);

// A hive held in memory: what tests build and what a Wine registry file is read into.
class TMemoryHive : public THive {
public:
  struct TNode {
    std::string Name;
    std::vector<std::unique_ptr<TNode>> Children; // in the order they were added
    std::map<std::string, TNode*> Index;          // by upper-case name
    std::vector<std::pair<std::string, TRegistryValue>> Values;
    std::unordered_map<std::string, size_t> ValueIndex; // positions in Values by upper-case name
  };

  // The key at path, created with its parents when missing.
  TNode& AddKey(std::string_view path);
  // Sets or replaces the value name of the key at path (created when missing).
  void SetValue(std::string_view path, std::string_view name, TRegistryValue value);
  void SetString(std::string_view path, std::string_view name, std::string_view utf8,
                 uint32_t type = REG_SZ);
  void SetInteger(std::string_view path, std::string_view name, uint32_t value);
  static void SetValue(TNode& node, std::string_view name, TRegistryValue value);

  std::unique_ptr<TRegistryKey> OpenKey(std::string_view path) const override;

private:
  TNode FRoot;
};

} // namespace pellora
