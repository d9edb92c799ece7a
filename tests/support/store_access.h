#pragma once
// What tests look at behind a mailbox: its store as the kind it is, its notes as the lines the
// window shows.
#include "stores/kinds/database_store.h"
#include "stores/kinds/mailbox_file_store.h"
#include "stores/mailbox.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pellora::test {

// The mailbox's information lines.
inline std::vector<std::string> MemoLines(const TMailbox& box) {
  std::vector<std::string> lines;
  for (const TStoreNote& note : box.Notes()) lines.push_back(NoteText(note));
  return lines;
}

// The reader of a loaded database; null when the store is none.
inline TOEReader* ReaderOf(const TMailbox& box) {
  auto* store = dynamic_cast<TDatabaseStore*>(box.Store());
  return store ? store->Reader() : nullptr;
}

// How the loaded mailbox file told its messages apart.
inline TMailboxRule RuleOf(const TMailbox& box) {
  auto* store = dynamic_cast<TMailboxFileStore*>(box.Store());
  EXPECT_NE(store, nullptr);
  return store ? store->Rule() : mrMarked;
}

} // namespace pellora::test
