#pragma once
// An Outlook personal folder file (".pst", ANSI or Unicode; ".ost"), read through libpff: one row
// per item of every folder, mail or not, each made an Internet message from its properties.
#include "stores/store.h"

#include <string>
#include <string_view>
#include <vector>

namespace pellora {

struct TMapiMessage;

class TPstStore : public TStore {
public:
  TPstStore();
  ~TPstStore() override;

  void VisitLines(const TMessageEntry& entry, const TLineVisitor& visit) override;
  // The item made an Internet message.
  void ReadStored(const TMessageEntry& entry, const TByteSink& sink) override;
  bool VisitPieces(const TMessageEntry& entry, const TTextPieceVisitor& piece) override;

  TStoreIcon Icon() const override { return siDatabase; }
  // The folder's name.
  std::string Name(const TMessageEntry& entry) const override;
  // "file: folder path".
  std::string Origin(const TMessageEntry& entry) const override;
  std::string ExportName(const TMessageEntry& first) const override;
  bool HasAttachment(const TMessageEntry& entry) const override;
  std::string_view Folder(const TMessageEntry& entry) const override;
  std::string_view ItemKind(const TMessageEntry& entry) const override;
  std::vector<TStoreFolder> Folders() const override { return FFolders; }

  // Whether a file's first bytes are a personal folder file's.
  static bool ClaimsBytes(std::string_view sample) { return sample.starts_with("!BDN"); }
  // Whether a path is one: by its name (".pst", ".ost") or its first bytes.
  static bool IsPstName(std::string_view path);
  static bool ClaimsFile(const std::string& path);

protected:
  void LoadRows(const std::string& path) override;

private:
  struct TItem {
    uint32_t Id = 0;
    uint32_t Folder = 0;
    std::string Kind;
    bool Attachment = false;
  };
  void LoadFolder(void* folder, const std::string& path, int depth);
  // The row's message, built again unless it is the one built last.
  const std::string& Message(const TMessageEntry& entry);

  void* FFile = nullptr; // libpff_file_t
  std::vector<TStoreFolder> FFolders;
  std::vector<TItem> FItems; // by row Index
  int32_t FBuiltIndex = -1;
  std::string FBuilt;
};

} // namespace pellora
