#pragma once
#include "platform/date_time.h"
#include "platform/shared_text.h"

#include <cstdint>

namespace pellora {

// The priorities the list shows an image for; others (3, normal, and 0, none) have none.
enum TPriority : int32_t { prHigh = 1, prLow = 5 };

// The quick-scan header of one message: the fields a list row shows. (The record's three reserved
// fields are always empty: a row keeps no room for them.)
struct TEMLHeader {
  TSharedText DateText;
  TDateTime Date = 0;
  TSharedText From;
  TSharedText Sender;
  TSharedText ReplyTo;
  TSharedText ReturnPath;
  TSharedText To;
  TSharedText Cc;
  TSharedText Subject;
  int32_t Priority = 0;
  TSharedText ContentTransferEncoding;
  TSharedText MessageID;
  // The conversation's links, compact: References' ids joined ("<a@x><b@y>") without the
  // blanks, comments and folding between them, and In-Reply-To's first id unless References
  // holds it (which gives the same thread and parent: a parent is the last References id the
  // store holds, else In-Reply-To's).
  TSharedText InReplyTo;
  TSharedText References;
  TSharedText ContentType;
  TSharedText ContentDisposition;
  int64_t Size = 0;
  TSharedText DocumentID;
};

// Texts equal to the row before's take its storage: lists repeat their senders, return paths
// and types from message to message, and a big store lists hundreds of thousands of rows.
inline void ShareRepeatedTexts(TEMLHeader& header, const TEMLHeader& before) {
  for (auto field :
       {&TEMLHeader::DateText, &TEMLHeader::From, &TEMLHeader::Sender, &TEMLHeader::ReplyTo,
        &TEMLHeader::ReturnPath, &TEMLHeader::To, &TEMLHeader::Cc, &TEMLHeader::Subject,
        &TEMLHeader::ContentTransferEncoding, &TEMLHeader::MessageID, &TEMLHeader::InReplyTo,
        &TEMLHeader::References, &TEMLHeader::ContentType, &TEMLHeader::ContentDisposition,
        &TEMLHeader::DocumentID})
    (header.*field).ShareIfEqual(before.*field);
}

} // namespace pellora
