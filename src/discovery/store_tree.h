#pragma once
// What the store browser lists: for one kind of store, a tree whose top-level nodes group the
// stores found (an identity, a store, a mail root) and whose deeper nodes are the databases,
// message folders and mailboxes that can be chosen.
#include "discovery/store_discovery.h"
#include "platform/date_time.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace pellora {

// The kind of store to list; the open wizard's store buttons pass it.
enum TStoreKind : int { skOutlookExpress = 0, skWindowsMail = 1, skThunderbird = 2 };

struct TStoreNodeData {
  std::string Name;        // the caption
  std::string Path;        // the full path handed back when chosen; "" on top-level nodes
  int64_t Size = 0;        // bytes; -1 when the entry cannot be found
  TDateTime Timestamp = 0; // last write in local time; 0 when not available
};

struct TStoreNode {
  TStoreNodeData Data;
  TStoreNode* Parent = nullptr; // the tree's root for a top-level node
  int Row = 0;                  // the position among its parent's children
  int Level = -1;               // 0 for top-level nodes; the root is -1
  std::vector<std::unique_ptr<TStoreNode>> Children;

  TStoreNode& AddChild(TStoreNodeData data);
  // The child whose Name equals name, ASCII case ignored; nullptr when none.
  TStoreNode* FindChild(const std::string& name) const;
};

class TStoreTree {
public:
  // The invisible root: its children are the top-level nodes.
  TStoreNode& Root() { return *FRoot; }
  const TStoreNode& Root() const { return *FRoot; }
  void Clear() { FRoot->Children.clear(); }
  TStoreNode& AddTopLevel(const std::string& name) { return FRoot->AddChild({name, "", 0, 0}); }

private:
  // On the heap: the nodes' parent links stay valid when the tree is moved.
  std::unique_ptr<TStoreNode> FRoot = std::make_unique<TStoreNode>();
};

// The discovered kinds (bits for DiscoverStores) that a store kind lists.
unsigned DiscoveredKindsOf(int storeKind);

// Fills the tree for a kind from the discovery results: top-level nodes in the order of the
// results, named by their display labels. Any other kind fills nothing.
void FillStoreTree(TStoreTree& tree, int storeKind, const std::vector<TDiscoveredStore>& stores);

// One top-level node per identity holding its Outlook Express databases: the files "*.?bx"
// directly in its folder that carry a database signature, in directory order.
void FillOEStores(TStoreTree& tree, const std::vector<TDiscoveredStore>& identities);
// A top-level node caption holding every folder below root at any depth, nested as on disk,
// with the total size of the ".eml" files directly in each; nothing when root is "".
void FillMessageFolders(TStoreTree& tree, const std::string& root, const std::string& caption);
// A top-level node per mail root holding its mailboxes and plain folders (names without
// extension); the contents of a mailbox's ".sbd" folder nest under the mailbox.
void FillThunderbirdStores(TStoreTree& tree, const std::vector<TDiscoveredStore>& roots);

// Adds the node path of components below top: missing nodes are made with data, and the last
// node, the entry's own, carries data whoever made it.
void InsertStoreEntry(TStoreNode& top, const std::vector<std::string>& components,
                      const TStoreNodeData& data);

// The last write of a directory entry in local time, at the two-second resolution of the file
// date format when the date fits it, else in UTC at full resolution; 0 when there is no entry.
TDateTime EntryTimestamp(const std::string& path);

} // namespace pellora
