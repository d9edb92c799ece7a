#pragma once
// An Outlook Express database: ".dbx" (versions 5 and 6) or ".mbx" with its ".idx" (version 4),
// read through the reader of its format, which keeps the file open while the store lives.
#include "stores/oe_reader.h"
#include "stores/store.h"

#include <memory>
#include <string_view>

namespace pellora {

class TDatabaseStore : public TStore {
public:
  void VisitLines(const TMessageEntry& entry, const TLineVisitor& visit) override;
  // The reader's text as it is.
  std::string ViewText(const TMessageEntry& entry) override;
  // The text up to a zero byte; "No text found." when there is none.
  void ReadStored(const TMessageEntry& entry, const TByteSink& sink) override;
  // Block by block as the reader follows the text's chain.
  bool VisitPieces(const TMessageEntry& entry, const TTextPieceVisitor& piece) override;

  TStoreIcon Icon() const override { return siDatabase; }
  // The database's own name for the folder it holds.
  std::string Name(const TMessageEntry& entry) const override;
  // "file: name: 0x0".
  std::string Origin(const TMessageEntry& entry) const override;
  std::string ExportName(const TMessageEntry& first) const override;
  // Its record's From name, with its sender address beside.
  TAuthor Author(const TMessageEntry& entry) const override;
  // The record's attachment flag.
  bool HasAttachment(const TMessageEntry& entry) const override;

  // The reader of the database loaded; null before.
  TOEReader* Reader() const { return FReader.get(); }

protected:
  void LoadRows(const std::string& path) override;

private:
  // The text up to a zero byte.
  std::string StoredText(const TMessageEntry& entry);
  // The list columns of a recovered message that has no record of its own.
  void RecoveredHeader(int32_t index, TEMLHeader& header);
  // Notes a change when the database file is no longer of the size the reader opened.
  void CheckDatabase();

  std::unique_ptr<TOEReader> FReader;
};

// The "To" text of a database row: names and addresses paired by position.
std::string JoinRecipients(std::string_view names, std::string_view addresses);

} // namespace pellora
