#pragma once
#include "shell/open_kind.h"
#include "stores/mailbox_file.h"
#include "stores/message_entry.h"
#include "stores/oe_reader.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace pellora {

// What a mailbox window shows of a store: its rows, its reader, the information lines and
// the status texts. The window displays this object and asks it for message texts.
class TMailbox {
public:
  TMailbox() = default;
  TMailbox(const TMailbox&) = delete;
  TMailbox& operator=(const TMailbox&) = delete;

  TOpenKind FKind = okUnknown;
  std::unique_ptr<TOEReader> FReader;
  std::vector<std::string> FLines;     // one message's lines at a time
  std::vector<TMessageEntry> FEntries; // the rows
  std::vector<std::string> FMemo;      // information lines below the list
  std::string FDetailCaption = "  Information";
  std::string FStatusText; // the operation and its elapsed time (status panel 1)
  std::string FErrorText;  // what the error box shows after a failed LoadMailbox
  int FSortColumn = lcReceived;
  bool FSortDescending = true;
  // Called where the window repaints while a store loads.
  std::function<void()> FOnRepaint;
  // Called as a load goes on: work done of work in all (messages, files or bytes).
  std::function<void(uint64_t done, uint64_t total)> FOnProgress;

  // Loads a store of kind 0, 1 or 2; false (with FErrorText set for a failure) otherwise.
  bool LoadMailbox(const std::string& path, TOpenKind kind);
  bool LoadOEDatabase(const std::string& path);
  bool LoadMessageFolder(const std::string& path);
  bool LoadMailboxFile(const std::string& path);
  void ListReaderMessages();
  // Sorts the rows by FSortColumn and FSortDescending (stable).
  void SortList();

  // Fills FLines with the message's lines.
  void LoadEntryLines(const TMessageEntry& entry);
  // Calls visit with the message's lines until it returns false; a mailbox file's lines are
  // not copied.
  void VisitEntryLines(const TMessageEntry& entry, const TLineVisitor& visit);
  // The message's lines, each followed by CR LF, into text.
  void ReadEntryText(const TMessageEntry& entry, std::string& text);
  // The raw text of the message behind a row.
  std::string GetEntryText(const TMessageEntry& entry);
  // The row whose entry has Index; null when there is none.
  const TMessageEntry* FindEntry(int32_t index) const;

private:
  void Repaint() {
    if (FOnRepaint) FOnRepaint();
  }
  void Progress(uint64_t done, uint64_t total) {
    if (FOnProgress) FOnProgress(done, total);
  }
  TFileStamp FMailboxStamp; // of the mailbox file at load time
};

// Loads a store as its opener does: the path must exist and be of kind 0, 1 or 2; a failure
// raises the text that the error box shows.
void LoadStoreChecked(TMailbox& box, const std::string& path, TOpenKind kind);

// Splits text into lines at CR LF, lone CR or lone LF; a final line end adds no empty line.
void SplitTextLines(std::string_view text, std::vector<std::string>& lines);
// The "To" text of a database row: names and addresses paired by position.
std::string JoinRecipients(std::string_view names, std::string_view addresses);

} // namespace pellora
