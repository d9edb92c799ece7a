#include "mime/tnef_reader.h"

#include "mime/rtf_body.h"
#include "platform/ascii.h"
#include "platform/unicode.h"

#include <cstddef>
#include <cstdio>
#include <memory>
#include <mutex>

#include <fcntl.h>
#include <unistd.h>

extern "C" {
#include <ytnef.h>
}

namespace pellora {

namespace {

constexpr unsigned PropBodyHtml = 0x1013;
constexpr unsigned PropRtfCompressed = 0x1009;
constexpr unsigned PropAttachLongFileName = 0x3707;
constexpr unsigned PropAttachMimeTag = 0x370E;
constexpr unsigned PropAttachContentId = 0x3712;

const variableLength* Find(MAPIProps& props, unsigned type, unsigned id) {
  const variableLength* v = MAPIFindProperty(&props, PROP_TAG(type, id));
  return v == MAPI_UNDEFINED || v == nullptr || v->data == nullptr || v->size <= 0 ? nullptr : v;
}

std::string Bytes(const variableLength& v) {
  return v.data && v.size > 0 ? std::string(reinterpret_cast<const char*>(v.data), static_cast<size_t>(v.size))
                              : std::string();
}

// A string property, 8-bit or UTF-16, as UTF-8 without its terminating zero.
std::string Text(MAPIProps& props, unsigned id) {
  std::string text;
  if (const variableLength* v = Find(props, PT_UNICODE, id)) {
    text = Utf16LeToUtf8(Bytes(*v));
  } else if (const variableLength* v = Find(props, PT_STRING8, id)) {
    text = Bytes(*v);
  }
  while (!text.empty() && text.back() == '\0') text.pop_back();
  return text;
}

// The library reports damage with printf: its words must not mix into what the command line
// writes (a JSON listing), so standard output points elsewhere while it reads.
class TQuietStdout {
public:
  TQuietStdout() : FLock(Mutex()) {
    std::fflush(stdout);
    FSaved = dup(STDOUT_FILENO);
    int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (FSaved >= 0 && null >= 0) dup2(null, STDOUT_FILENO);
    if (null >= 0) close(null);
  }
  ~TQuietStdout() {
    std::fflush(stdout);
    if (FSaved >= 0) {
      dup2(FSaved, STDOUT_FILENO);
      close(FSaved);
    }
  }
  TQuietStdout(const TQuietStdout&) = delete;
  TQuietStdout& operator=(const TQuietStdout&) = delete;

private:
  static std::mutex& Mutex() {
    static std::mutex mutex;
    return mutex;
  }
  std::lock_guard<std::mutex> FLock;
  int FSaved = -1;
};

} // namespace

bool IsTnefPart(std::string_view mimeType, std::string_view fileName) {
  return mimeType == "application/ms-tnef" || mimeType == "application/vnd.ms-tnef" ||
         SameTextAscii(fileName, "winmail.dat");
}

bool ReadTnef(std::string_view data, TTnefContent& content) {
  content = {};
  // The stream's signature, 0x223E9F78 little-endian: anything else never reaches the library.
  if (data.size() < 6 || data.substr(0, 4) != std::string_view("\x78\x9f\x3e\x22", 4)) return false;
  // The library reads from a buffer it does not change but declares it writable.
  std::string copy(data);
  TNEFStruct tnef;
  TNEFInitialize(&tnef);
  tnef.Debug = 0;
  std::unique_ptr<TNEFStruct, void (*)(TNEFStruct*)> release(&tnef, TNEFFree);
  int result;
  {
    TQuietStdout quiet;
    result = TNEFParseMemory(reinterpret_cast<BYTE*>(copy.data()), static_cast<long>(copy.size()),
                             &tnef);
  }
  // A stream cut short still yields the attachments before the damage.
  const bool any = tnef.starting_attach.next != nullptr || tnef.MapiProperties.count > 0;
  if (result != 0 && !any) return false;

  for (Attachment* a = tnef.starting_attach.next; a != nullptr; a = a->next) {
    if (a->FileData.data == nullptr) continue; // an embedded object or a damaged record
    TTnefFile file;
    file.Name = Text(a->MAPI, PropAttachLongFileName);
    if (file.Name.empty()) {
      file.Name = Bytes(a->Title);
      while (!file.Name.empty() && file.Name.back() == '\0') file.Name.pop_back();
    }
    file.MimeType = LowerCaseAscii(Text(a->MAPI, PropAttachMimeTag));
    file.ContentId = Text(a->MAPI, PropAttachContentId);
    file.Data = Bytes(a->FileData);
    content.Files.push_back(std::move(file));
  }

  MAPIProps& props = tnef.MapiProperties;
  if (const variableLength* html = Find(props, PT_BINARY, PropBodyHtml)) {
    content.Body = Bytes(*html);
    content.BodyIsHtml = true;
  } else if (std::string html = Text(props, PropBodyHtml); !html.empty()) {
    content.Body = std::move(html);
    content.BodyIsHtml = true;
    content.BodyCharset = "utf-8";
  } else if (const variableLength* rtf = Find(props, PT_BINARY, PropRtfCompressed)) {
    TRtfBody body = RtfToBody(DecompressRtf(std::string_view(
        reinterpret_cast<const char*>(rtf->data), static_cast<size_t>(rtf->size))));
    content.Body = std::move(body.Text);
    content.BodyIsHtml = body.Html;
    content.BodyCharset = "utf-8";
  } else if (tnef.body.data != nullptr) {
    content.Body = Bytes(tnef.body);
    while (!content.Body.empty() && content.Body.back() == '\0') content.Body.pop_back();
  }
  return true;
}

} // namespace pellora
