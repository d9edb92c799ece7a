#include "stores/store_notes.h"

#include "i18n/format_text.h"
#include "i18n/localized_text.h"

namespace pellora {

std::string NoteText(const TStoreNote& note) {
  switch (note.Kind) {
  case nkFormat:
    return FormatText("%s: %s", {GetLocalizedText("lc_Format"), note.Name});
  case nkUnreadableFile:
    return note.Name + ": " + note.Reason;
  case nkStoreChanged:
    return GetLocalizedText("lc_StoreChanged");
  case nkUnreadableRows:
    return FormatText(GetLocalizedText("lc_FilterUnreadable"), {static_cast<long long>(note.Number)});
  case nkSkippedMessage:
    return FormatText("%d: %s", {static_cast<long long>(note.Number) + 1, note.Reason});
  }
  return {};
}

std::string RowStateText(TRowState state) {
  switch (state) {
  case rsRecovered:
    return GetLocalizedText("lc_Recovered");
  case rsDeleted:
    return GetLocalizedText("lc_Deleted");
  default:
    return {};
  }
}

} // namespace pellora
