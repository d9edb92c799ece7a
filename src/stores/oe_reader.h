#pragma once
#include "platform/date_time.h"
#include "platform/pellora_error.h"
#include "stores/input_stream.h"
#include "stores/message_entry.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pellora {

// The failure of a store reader.
class EOEReaderException : public EPelloraError {
public:
  using EPelloraError::EPelloraError;
};

inline constexpr const char* SNotDbx = "File is not an Outlook Express 5/6 Message Database.";
inline constexpr const char* SNotMbx = "File is not an Outlook Express 4 Message Database.";
inline constexpr const char* SNoMessage = "File does not contain any message.";
inline constexpr const char* SNoText = "No text found.";

// Format codes found by TOEReader::Open.
enum : uint8_t { fmtUnknown = 0, fmtMbx = 1, fmtDbx = 2 };

// One message of a database.
struct TMessageInfo {
  uint32_t InfoOffset = 0;
  int32_t Number = 0;
  uint32_t Flags = 0;
  uint32_t TextOffset = 0;
  std::string Ident;
  std::string Subject;
  std::string Extra1;
  std::string From;
  std::string Sender;
  TDateTime Date = 0;
  std::string DateText;
  std::string ToNames;
  std::string ToAddresses;
  std::string Extra2;
  uint32_t TextSize = 0;
  int32_t Priority = 0;
  int32_t Spare = 0;
  std::string Extra3;
};

// A FILETIME (100 ns since 1601, UTC) as a date-time, in local time when localTime is set;
// 0 when it is no date.
TDateTime FileTimeToDateTime(uint32_t low, uint32_t high, bool localTime);

// Whether text begins as a message's header does, with a field name and a colon: what tells a
// message's start among bytes that recovery finds outside the index.
bool LooksLikeHeader(std::string_view text);

// The reader of an Outlook Express database. The base class only recognises the format.
class TOEReader {
public:
  TOEReader() = default;
  virtual ~TOEReader() = default;
  TOEReader(const TOEReader&) = delete;
  TOEReader& operator=(const TOEReader&) = delete;

  virtual std::string GetStoreName() { return {}; }
  virtual std::string GetMessageHeader(int32_t index) { return {}; }
  virtual std::string GetMessageText(int32_t index) { return {}; }
  // The message's text as GetMessageText gives it, up to its first zero byte, in consecutive
  // pieces until piece returns false; raises as GetMessageText does.
  virtual void VisitMessageText(int32_t index, const TTextPieceVisitor& piece);
  virtual int32_t GetMessageCount() { return 0; }
  virtual void GetMessageInfo(int32_t index, TMessageInfo& info);
  // GetMessageInfo for a caller that keeps the texts itself (the list's rows): they move out
  // of the reader, which keeps only what reading the message needs.
  void TakeMessageInfo(int32_t index, TMessageInfo& info);
  virtual void Open(const std::string& path);
  virtual void ReadMessageInfos() {}
  // After ReadMessageInfos: adds, after the listed messages, those found outside the index and
  // those the database keeps as deleted. GetMessageCount stays the count of the listed ones.
  virtual void RecoverMessages() {}
  // The listed messages and the recovered ones after them.
  int32_t GetRowCount() { return GetMessageCount() + static_cast<int32_t>(FRecoveredStates.size()); }
  // rsListed for a listed message; rsRecovered or rsDeleted for one RecoverMessages added.
  TRowState GetRowState(int32_t index);
  void LoadFromFile(const std::string& path) { Open(path); }

  bool Opened() const { return FOpened; }
  uint8_t Format() const { return FFormat; }
  const std::string& FileName() const { return FFileName; }
  // The size of the database file when it was opened; 0 before.
  uint64_t FileSize() const { return FStream ? FStream->Size() : 0; }

protected:
  std::unique_ptr<TFileStream> FStream;
  std::string FFileName;
  bool FOpened = false;
  uint8_t FFormat = fmtUnknown;
  std::vector<TMessageInfo> FMessages;
  std::vector<TRowState> FRecoveredStates; // of the rows after the listed ones
  bool FLocalTime = true;
};

// The format of a database file: fmtUnknown, fmtMbx or fmtDbx. Raises the platform's error
// when the file cannot be opened or holds fewer than 4 bytes.
uint8_t DetectStoreFormat(const std::string& path);

} // namespace pellora
