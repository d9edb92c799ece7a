#pragma once
// The root of a parsed message and what a reader asks of it.
#include "mime/mail_part.h"
#include "platform/date_time.h"

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace pellora {

// One hop of the route, read from one Received field.
struct TReceived {
  std::string FromHost;
  std::string ByHost;
  std::string ForAddress;
  TDateTime Date = 0;
};

// The recipients of one field ("To", "Cc" or "Bcc") of one message; computed again whenever
// the message's header lines change.
class TMailRecipients {
public:
  TMailRecipients(const TMailMessage* message, std::string fieldName);
  const TMailMessage* Message() const { return FMessage; }
  const std::string& FieldName() const { return FFieldName; }
  int Count() const;
  // Empty text for an index out of range.
  std::string Name(int index) const;
  std::string Address(int index) const;
  const std::vector<std::string>& Names() const;
  const std::vector<std::string>& Addresses() const;

private:
  void Refresh() const;
  const TMailMessage* FMessage;
  std::string FFieldName;
  mutable std::vector<std::string> FNames;
  mutable std::vector<std::string> FAddresses;
  mutable uint64_t FVersion = ~uint64_t{0};
};

// One route hop from a whole "Received:" header line.
TReceived ParseReceivedLine(std::string_view line);

class TMailMessage : public TMailPart {
public:
  TMailMessage();
  ~TMailMessage() override;

  // Releases every part and everything derived from the last parse.
  void ResetMessage();
  // As ReadFromText, but takes text's bytes as the source text instead of a copy; text is left
  // empty, holding the memory of the source text before.
  void AdoptText(std::string& text);

  // Display name and address of a field such as "From".
  void ParseAddressField(std::string_view fieldName, std::string& name, std::string& address) const;
  std::string FromName() const;
  std::string FromAddress() const;
  std::string ReplyToName() const;
  std::string ReplyToAddress() const;
  std::string SubjectText() const;
  TDateTime MessageDate() const;
  int ReceivedCount() const;
  // Hop index counted from 0 in header order (the newest first); empty when out of range.
  TReceived ReceivedHop(int index) const;
  // Every hop in header order, in one pass: what lists the route uses.
  std::vector<TReceived> Route() const;
  const TMailRecipients& ToList() const { return FToList; }
  const TMailRecipients& CcList() const { return FCcList; }
  const TMailRecipients& BccList() const { return FBccList; }

  // Finds the text and HTML bodies and the attachments; does nothing unless a parse came since.
  void FindBodies();
  // Re-serializes the part tree into EncodedBody and sets Content-Length.
  void RebuildBody();

  const TMailPartList& Attachments() const { return FAttachments; }
  // Inline text parts that follow the body in a multipart/mixed part (a list's footer): part of
  // what was sent, their text is appended to the text body's.
  const TMailPartList& AppendedParts() const { return FAppendedParts; }
  // The text body in the code page (a zero byte as a blank), with its line ends as written, and
  // the appended parts' texts after it; TextLines are the pieces between those line ends (CR LF,
  // CR or LF).
  const std::string& TextBodyText() const { return FTextBody.Text(); }
  const std::vector<std::string>& TextLines() const { return FTextBody.Lines(); }
  const std::vector<std::string>& HtmlLines() const { return FHtmlBody.Lines(); }
  // Whether the text shown as plain text is the HTML body's: the message has no text body.
  bool PlainFromHtml() const { return FTextPart == nullptr && FHtmlPart != nullptr; }
  // The text shown as plain text: the text body, or the text that the HTML body shows (with the
  // appended parts after it) when there is no text body.
  const std::string& PlainViewText() const;
  const std::vector<std::string>& PlainViewLines() const;
  // The document the HTML tab renders: the HTML body (the appended parts after it), or the text
  // body as preformatted text (escaped, line breaks kept, long lines wrapped) when there is no
  // HTML body.
  std::string HtmlViewDocument() const;
  // The part whose Content-ID (without its angle brackets) is id, anywhere in the tree.
  TMailPart* ContentIdPart(std::string_view id);
  // The message's text exactly as the last ReadFromText or ReadFromFile was given it (a file's
  // bytes before their line ends are made CR LF); "" after ResetMessage.
  const std::string& SourceText() const { return FSourceText; }
  TMailPart* TextPart() const { return FTextPart; }
  TMailPart* HtmlPart() const { return FHtmlPart; }
  TMailPart* MixedPart() const { return FMixedPart; }
  TMailPart* RelatedPart() const { return FRelatedPart; }
  TMailPart* AlternativePart() const { return FAlternativePart; }
  const std::string& Charset() const { return FCharset; }
  bool RebuildPending() const { return FRebuildPending; }
  bool AnalysisPending() const { return FAnalysisPending; }

private:
  friend class TMailPart;
  // Every parse of any part: the derived data may refer to released parts, so it goes now.
  void MarkParsed();
  // A part record costs a few hundred bytes: a message splits into at most one part per 64
  // bytes of its text (and 100 more), so that a text of tiny parts stays within a small multiple
  // of its size. Parts beyond that are kept whole, as parts nested too deep are.
  void StartPartCount(size_t textSize) {
    FPartCount = 0;
    FPartBudget = 100 + textSize / 64;
  }
  void CountPart() { ++FPartCount; }
  bool PartsLeft() const { return FPartCount < FPartBudget; }
  void ClearDerived();
  bool TakeBody(TMailPart* part, std::string_view type);
  void AppendText(TMailPart* part);

  // A body's text, split into lines only when they are asked for (a search needs the text).
  class TBodyText {
  public:
    std::string& Text() { return FText; }
    const std::string& Text() const { return FText; }
    const std::vector<std::string>& Lines() const;
    void Clear();

  private:
    std::string FText;
    mutable std::vector<std::string> FLines;
    mutable bool FSplit = false;
  };

  std::string FSourceText;
  TMailPartList FAttachments;
  TMailPartList FAppendedParts;
  TBodyText FTextBody;
  size_t FAppendedFrom = 0; // where the appended parts' text begins in FTextBody
  TBodyText FHtmlBody;
  mutable TBodyText FHtmlShownText; // of PlainViewText, made when first asked for
  mutable bool FHtmlShownTextMade = false;
  TMailPart* FTextPart = nullptr;
  TMailPart* FHtmlPart = nullptr;
  TMailPart* FMixedPart = nullptr;
  TMailPart* FRelatedPart = nullptr;
  TMailPart* FAlternativePart = nullptr;
  std::string FCharset = "iso-8859-1";
  TMailRecipients FToList;
  TMailRecipients FCcList;
  TMailRecipients FBccList;
  std::unordered_map<std::string, TMailPart*> FContentIds; // filled on the first look-up
  bool FContentIdsKnown = false;
  bool FRebuildPending = false;
  bool FAnalysisPending = false;
  size_t FPartCount = 0;
  size_t FPartBudget = 100;
};

} // namespace pellora
