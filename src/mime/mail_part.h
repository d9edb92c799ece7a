#pragma once
// One MIME entity and the tree of its body parts.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pellora {

class TMailMessage;
class TMailPart;

// An ordered list of parts that does not own them.
class TMailPartList {
public:
  int Count() const { return static_cast<int>(FItems.size()); }
  TMailPart* Items(int index) const { return FItems.at(static_cast<size_t>(index)); }
  TMailPart* operator[](int index) const { return Items(index); }
  void Add(TMailPart* part) { FItems.push_back(part); }
  void Clear() { FItems.clear(); }
  auto begin() const { return FItems.begin(); }
  auto end() const { return FItems.end(); }

private:
  std::vector<TMailPart*> FItems;
};

class TMailPart {
public:
  // Parts nested deeper than this are kept whole (their body is not split further), so a
  // hostile message cannot exhaust the stack or make parsing quadratic without bound.
  static constexpr int MaxDepth = 100;

  explicit TMailPart(std::string name = {});
  virtual ~TMailPart();
  TMailPart(const TMailPart&) = delete;
  TMailPart& operator=(const TMailPart&) = delete;

  const std::string& Name() const { return FName; }
  // Unfolded, normalized header lines in message order.
  const std::vector<std::string>& HeaderLines() const { return FHeaderLines; }
  // The body as found in the message (for a multipart part: its preamble or rebuilt body).
  const std::string& EncodedBody() const { return FEncodedBody; }
  void SetEncodedBody(std::string body) { FEncodedBody = std::move(body); }
  // The body after transfer decoding; filled by DecodeBody.
  const std::string& DecodedBody() const { return FDecodedBody; }
  const std::string& ParentBoundary() const { return FParentBoundary; }
  TMailMessage* OwnerMessage() const { return FOwnerMessage; }
  const TMailPartList& SubParts() const { return FSubParts; }
  TMailPart* ParentPart() const { return FParentPart; }
  bool Decoded() const { return FDecoded; }
  const std::string& BodyCharset() const { return FBodyCharset; }
  const std::string& TransferEncoding() const { return FTransferEncoding; }
  // 0 for the root; the number of multipart levels above this part.
  int Depth() const { return FDepth; }
  // Changes whenever the header lines change.
  uint64_t HeaderVersion() const { return FHeaderVersion; }

  // Replaces the content by the parse of text (all of it: a zero byte is a character).
  void ParseText(std::string_view text, bool withHeader);
  // Reads a file, makes every line end CR LF and parses it with header.
  void ReadFromFile(const std::string& path);
  // As ReadFromFile, of a file's bytes read elsewhere (or a message's part of them).
  void ReadFromStored(std::string stored);
  // Parses text with header as it is (only CR LF ends a line).
  void ReadFromText(std::string_view text);

  std::string FieldValue(std::string_view name) const;
  std::string FieldParam(std::string_view name, std::string_view param) const;
  void SetFieldValue(std::string_view name, std::string_view value);
  void SetFieldParam(std::string_view name, std::string_view param, std::string_view value);
  bool HasField(std::string_view name) const { return FindField(name) >= 0; }
  bool HasFieldParam(std::string_view name, std::string_view param) const {
    return !FieldParam(name, param).empty();
  }
  // Content-Type value in lower case, such as "text/plain".
  std::string MimeType() const;
  // The type the part's content has by the rules of MIME: its MimeType, or, when it names none,
  // text/plain (RFC 2045 section 5.2) and in a multipart/digest message/rfc822 (RFC 2046
  // section 5.1.5).
  std::string EffectiveType() const;
  std::string Boundary() const { return FieldParam("Content-Type", "boundary"); }

  // Fills DecodedBody once per parse.
  void DecodeBody();
  void ReencodeAsBase64();
  // The name under which the part is shown and saved.
  std::string AttachmentFileName() const;
  // Marks a TNEF attachment turned into what it carries: its files are attachments, and its
  // body is the message's body only when the message has no other.
  static constexpr std::string_view TnefField = "X-Pellora-Tnef";

protected:
  void ClearPart();

private:
  friend class TMailMessage;
  int FindField(std::string_view name) const;
  TMailPart* NewSubPart();
  size_t ParseHeader(std::string_view text);
  void ParseMultipart(std::string_view body);
  void ParsePlain(std::string_view body);
  // A file's part of a part turned into multipart/mixed; data is the file's bytes.
  TMailPart* AddFilePart(const std::string& boundary, std::string data, std::string_view fileName,
                         std::string_view type);
  // Turns a TNEF attachment into the files and body it carries; unreadable ones stay as they are.
  void ExpandTnef();

  std::string FName;
  std::vector<std::string> FHeaderLines;
  std::string FEncodedBody;
  std::string FDecodedBody;
  std::string FParentBoundary;
  TMailMessage* FOwnerMessage = nullptr;
  TMailPartList FSubParts;
  std::vector<std::unique_ptr<TMailPart>> FOwnedParts;
  TMailPart* FParentPart = nullptr;
  bool FDecoded = false;
  std::string FBodyCharset;
  std::string FTransferEncoding;
  int FDepth = 0;
  uint64_t FHeaderVersion = 0;
};

// A file's bytes with every line ending in CR LF.
std::string NormalizeLineEnds(std::string_view text);

} // namespace pellora
