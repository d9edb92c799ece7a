#include "stores/oe_reader.h"

#include <cmath>

namespace pellora {

TDateTime FileTimeToDateTime(uint32_t low, uint32_t high, bool localTime) {
  uint64_t ticks = static_cast<uint64_t>(high) << 32 | low;
  // FILETIME counts from 1601; the date-time type from 30 December 1899.
  constexpr double TicksPerDay = 864000000000.0;
  constexpr double DaysFrom1601 = 109205.0;
  TDateTime utc = static_cast<double>(ticks) / TicksPerDay - DaysFrom1601;
  // Only what a calendar date of years 1601 to 9999 can be; the rest is no date.
  constexpr double Max = 2958465.99999; // 31 December 9999
  if (!(utc < Max)) return 0;
  if (utc < 0) {
    // Before 1899 the day count is negative while the time of day still adds.
    double days = std::floor(utc);
    utc = days - (utc - days);
  }
  return localTime ? UtcToLocal(utc) : utc;
}

void TOEReader::GetMessageInfo(int32_t index, TMessageInfo& info) {
  if (index >= 0 && static_cast<size_t>(index) < FMessages.size())
    info = FMessages[static_cast<size_t>(index)];
  else
    info = TMessageInfo();
}

void TOEReader::TakeMessageInfo(int32_t index, TMessageInfo& info) {
  if (index < 0 || static_cast<size_t>(index) >= FMessages.size()) {
    info = TMessageInfo();
    return;
  }
  TMessageInfo& kept = FMessages[static_cast<size_t>(index)];
  info = std::move(kept);
  kept = TMessageInfo();
  kept.InfoOffset = info.InfoOffset;
  kept.Number = info.Number;
  kept.Flags = info.Flags;
  kept.TextOffset = info.TextOffset;
  kept.Date = info.Date;
  kept.TextSize = info.TextSize;
  kept.Priority = info.Priority;
  kept.Spare = info.Spare;
}

bool LooksLikeHeader(std::string_view text) {
  for (size_t i = 0; i < text.size() && i < 80; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == ':') return i > 0;
    if (c <= ' ' || c >= 127) return false;
  }
  return false;
}

TRowState TOEReader::GetRowState(int32_t index) {
  const int64_t recovered = int64_t(index) - GetMessageCount();
  if (recovered < 0 || static_cast<size_t>(recovered) >= FRecoveredStates.size()) return rsListed;
  return FRecoveredStates[static_cast<size_t>(recovered)];
}

void TOEReader::VisitMessageText(int32_t index, const TTextPieceVisitor& piece) {
  std::string text = GetMessageText(index);
  piece(std::string_view(text.c_str())); // up to the first zero byte
}

void TOEReader::Open(const std::string& path) {
  FOpened = false;
  FFileName = path;
  FStream.reset();
  FFormat = fmtUnknown;
  FStream = std::make_unique<TFileStream>(path);
  unsigned char word[4];
  if (!FStream->ReadAt(0, word, 4)) FStream->RaiseReadError();
  uint32_t signature = GetU32(word);
  if (signature == 0x36464D4A)
    FFormat = fmtMbx;
  else if (signature == 0xFE12ADCF)
    FFormat = fmtDbx;
  FOpened = true;
}

uint8_t DetectStoreFormat(const std::string& path) {
  TOEReader reader;
  reader.LoadFromFile(path);
  return reader.Format();
}

} // namespace pellora
