#pragma once
// What tests look at behind a mailbox: its store as the kind it is, its notes as the lines the
// window shows.
#include "stores/kinds/database_store.h"
#include "stores/kinds/mailbox_file_store.h"
#include "stores/mailbox.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace pellora::test {

// The mailbox's information lines.
inline std::vector<std::string> MemoLines(const TMailbox& box) {
  std::vector<std::string> lines;
  for (const TStoreNote& note : box.Notes()) lines.push_back(NoteText(note));
  return lines;
}

// Every field a load sets in a row, as one text, so that a difference shows where it lies.
inline std::string RowText(const TMessageEntry& e) {
  const TEMLHeader& h = e.Header;
  char date[40];
  std::snprintf(date, sizeof date, "%a", h.Date); // every bit
  std::string text = std::to_string(e.Index) + " line " + std::to_string(e.StartLine) + " [" +
                     std::to_string(e.StartOffset) + "," + std::to_string(e.EndOffset) + ") parting " +
                     std::to_string(e.Parting) + " fp " + std::to_string(e.Fingerprint) + " flags " +
                     (e.Flags ? std::to_string(*e.Flags) : "none") + " state " +
                     std::to_string(e.State) + " size " + std::to_string(h.Size) + " prio " +
                     std::to_string(h.Priority) + " date " + date + " path " +
                     e.Path.str();
  for (const TSharedText* field :
       {&h.DateText, &h.From, &h.Sender, &h.ReplyTo, &h.ReturnPath, &h.To, &h.Cc, &h.Subject,
        &h.ContentTransferEncoding, &h.MessageID, &h.InReplyTo, &h.References, &h.ContentType,
        &h.ContentDisposition, &h.DocumentID})
    text += " | " + field->str();
  return text;
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
