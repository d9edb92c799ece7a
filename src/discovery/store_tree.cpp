#include "discovery/store_tree.h"

#include "platform/ascii.h"
#include "platform/files.h"
#include "stores/oe_reader.h"

namespace pellora {
namespace {

// The modification time of a file stamp in UTC, to the millisecond.
TDateTime StampTimeUtc(const TFileStamp& stamp) {
  int64_t ms = stamp.modifiedNs / 1000000;
  int64_t seconds = ms / 1000, rest = ms % 1000;
  if (rest < 0) {
    --seconds;
    rest += 1000;
  }
  return UnixToDateTime(seconds) + static_cast<double>(rest) / MSecsPerDay;
}

// The size of a directory entry: 0 for a folder, -1 when there is none.
int64_t EntrySize(const std::string& path) {
  TFileStamp stamp;
  if (!GetFileStamp(path, stamp)) return -1;
  return DirectoryExists(path) ? 0 : static_cast<int64_t>(stamp.size);
}

// The components of entry below root, each cut to what it stands for in the tree.
std::vector<std::string> Components(const std::string& root, const std::string& entry,
                                    bool mailboxFolders) {
  const std::string base = IncludeTrailingPathDelimiter(root);
  std::string relative = entry.starts_with(base) ? entry.substr(base.size()) : entry;
  std::vector<std::string> components;
  size_t start = 0;
  while (start <= relative.size()) {
    size_t end = relative.find(PathDelim, start);
    if (end == std::string::npos) end = relative.size();
    std::string component = relative.substr(start, end - start);
    // A mailbox's subfolders live in "<name>.sbd" beside it: they nest under the mailbox.
    if (mailboxFolders && component.size() > 4 &&
        SameTextAscii(std::string_view(component).substr(component.size() - 4), ".sbd"))
      component.resize(component.size() - 4);
    if (!component.empty()) components.push_back(std::move(component));
    start = end + 1;
  }
  return components;
}

} // namespace

TStoreNode& TStoreNode::AddChild(TStoreNodeData data) {
  auto child = std::make_unique<TStoreNode>();
  child->Data = std::move(data);
  child->Parent = this;
  child->Row = static_cast<int>(Children.size());
  child->Level = Level + 1;
  Children.push_back(std::move(child));
  return *Children.back();
}

TStoreNode* TStoreNode::FindChild(const std::string& name) const {
  for (const auto& child : Children)
    if (SameTextAscii(child->Data.Name, name)) return child.get();
  return nullptr;
}

void InsertStoreEntry(TStoreNode& top, const std::vector<std::string>& components,
                      const TStoreNodeData& data) {
  TStoreNode* current = &top;
  for (size_t i = 0; i < components.size(); ++i) {
    TStoreNode* next = current->FindChild(components[i]);
    if (!next) {
      // An outer folder not listed itself (a name with a dot) takes the data of the entry
      // whose insertion made it.
      TStoreNodeData created = data;
      created.Name = components[i];
      next = &current->AddChild(std::move(created));
    } else if (i + 1 == components.size()) {
      // Listed after an entry below it made its row (a mailbox after its ".sbd" folder, as a
      // folder may list them): the row is the entry's own.
      next->Data = {components[i], data.Path, data.Size, data.Timestamp};
    }
    current = next;
  }
}

TDateTime EntryTimestamp(const std::string& path) {
  TFileStamp stamp;
  if (!GetFileStamp(path, stamp)) return 0;
  const TDateTime utc = StampTimeUtc(stamp);
  const TDateTime local = UtcToLocal(utc);
  TDateParts parts = DecodeDateTime(local);
  // The file date format holds 1980 to 2107 in steps of two seconds.
  if (parts.year < 1980 || parts.year > 2107) return utc;
  TDateTime date, time;
  if (!TryEncodeDate(parts.year, parts.month, parts.day, date) ||
      !TryEncodeTime(parts.hour, parts.minute, parts.second & ~1, 0, time))
    return utc;
  return ComposeDateTime(date, time);
}

unsigned DiscoveredKindsOf(int storeKind) {
  switch (storeKind) {
  case skOutlookExpress:
    return 1u << dkOEIdentity;
  case skWindowsMail:
    return 1u << dkWindowsMail | 1u << dkWindowsLiveMail;
  case skThunderbird:
    return 1u << dkThunderbirdRoot;
  default:
    return 0;
  }
}

void FillStoreTree(TStoreTree& tree, int storeKind, const std::vector<TDiscoveredStore>& stores) {
  tree.Clear();
  std::vector<TDiscoveredStore> wanted;
  for (const TDiscoveredStore& store : stores)
    if (DiscoveredKindsOf(storeKind) & 1u << store.Kind) wanted.push_back(store);
  switch (storeKind) {
  case skOutlookExpress:
    FillOEStores(tree, wanted);
    break;
  case skWindowsMail:
    for (const TDiscoveredStore& store : wanted)
      FillMessageFolders(tree, store.Path, store.DisplayLabel);
    break;
  case skThunderbird:
    FillThunderbirdStores(tree, wanted);
    break;
  default:
    break;
  }
}

void FillOEStores(TStoreTree& tree, const std::vector<TDiscoveredStore>& identities) {
  tree.Clear();
  for (const TDiscoveredStore& identity : identities) {
    std::vector<std::string> files;
    FindFiles(identity.Path, "*.?bx", faAnyFile, false, &files);
    TStoreNode& top = tree.AddTopLevel(identity.DisplayLabel);
    for (const std::string& file : files) {
      TFileStamp stamp;
      // Only files can be databases, and none is shorter than its signature.
      if (!FileExists(file) || !GetFileStamp(file, stamp) || stamp.size < 4) continue;
      if (DetectStoreFormat(file) == fmtUnknown) continue;
      std::string name = ExtractFileName(file);
      if (size_t ext = name.find(ExtractFileExt(name)); ext != std::string::npos) name.resize(ext);
      top.AddChild({name, file, static_cast<int64_t>(stamp.size), UtcToLocal(StampTimeUtc(stamp))});
    }
  }
}

void FillMessageFolders(TStoreTree& tree, const std::string& root, const std::string& caption) {
  if (root.empty()) return;
  std::vector<std::string> folders;
  FindFiles(root, "*.*", faDirectory, true, &folders);
  TStoreNode& top = tree.AddTopLevel(caption);
  for (const std::string& folder : folders) {
    const auto size = static_cast<int64_t>(FindFiles(folder, "*.eml", faAnyFile, false, nullptr));
    InsertStoreEntry(top, Components(root, folder, false),
                     {"", folder, size, EntryTimestamp(folder)});
  }
}

void FillThunderbirdStores(TStoreTree& tree, const std::vector<TDiscoveredStore>& roots) {
  for (const TDiscoveredStore& root : roots) {
    std::vector<std::string> entries;
    // "*." takes every name without extension: mailbox files and plain folders; index files,
    // ".sbd" folders and folders named with a dot are walked but not listed.
    FindFiles(root.Path, "*.", faAnyFile, true, &entries);
    TStoreNode& top = tree.AddTopLevel(root.DisplayLabel);
    for (const std::string& entry : entries)
      InsertStoreEntry(top, Components(root.Path, entry, true),
                       {"", entry, EntrySize(entry), EntryTimestamp(entry)});
  }
}

} // namespace pellora
