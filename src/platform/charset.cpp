#include "platform/charset.h"

#include "platform/ascii.h"
#include "platform/codepage.h"
#include "platform/unicode.h"

#include <iconv.h>

#include <cerrno>
#include <mutex>
#include <unordered_map>

namespace pellora {
namespace {

enum class TKind {
  Unknown,    // read as undeclared text
  Undeclared, // a label that says nothing beyond ASCII (us-ascii): read as undeclared text
  Utf8,
  CodePage, // a Windows code page, through the code-page tables
  Utf16,    // byte order by the byte-order mark, or guessed from the zero bytes
  Iconv,
};

// What a name in a message stands for: "utf-8", "undeclared", "utf-16", "cp:N" or an iconv
// name. Mailers write these aliases and mislabels; a label whose charset is a subset of a
// wider one reads as the wider, as browsers read them.
struct TAlias {
  std::string_view name;
  std::string_view target;
};
constexpr TAlias Aliases[] = {
    {"utf-8", "utf-8"},
    {"utf8", "utf-8"},
    {"unicode-1-1-utf-8", "utf-8"},
    {"x-unicode20utf8", "utf-8"},
    {"us-ascii", "undeclared"},
    {"ascii", "undeclared"},
    {"ansi_x3.4-1968", "undeclared"},
    {"iso646-us", "undeclared"},
    {"iso-8859-1", "cp:1252"},
    {"iso8859-1", "cp:1252"},
    {"iso_8859-1", "cp:1252"},
    {"iso_8859-1:1987", "cp:1252"},
    {"iso-ir-100", "cp:1252"},
    {"latin1", "cp:1252"},
    {"l1", "cp:1252"},
    {"cp819", "cp:1252"},
    {"ibm819", "cp:1252"},
    {"csisolatin1", "cp:1252"},
    {"iso-8859-9", "cp:1254"},
    {"iso8859-9", "cp:1254"},
    {"iso_8859-9", "cp:1254"},
    {"latin5", "cp:1254"},
    {"tis-620", "cp:874"},
    {"iso-8859-11", "cp:874"},
    {"windows-874", "cp:874"},
    {"x-windows-874", "cp:874"},
    {"dos-874", "cp:874"},
    {"cp874", "cp:874"},
    {"latin9", "ISO-8859-15"},
    {"latin-9", "ISO-8859-15"},
    {"shift_jis", "CP932"},
    {"shift-jis", "CP932"},
    {"x-sjis", "CP932"},
    {"sjis", "CP932"},
    {"ms_kanji", "CP932"},
    {"csshiftjis", "CP932"},
    {"windows-31j", "CP932"},
    {"x-ms-cp932", "CP932"},
    {"euc-jp", "EUC-JP-MS"},
    {"x-euc-jp", "EUC-JP-MS"},
    {"cseucpkdfmtjapanese", "EUC-JP-MS"},
    {"iso-2022-jp", "ISO-2022-JP-2"},
    {"csiso2022jp", "ISO-2022-JP-2"},
    {"ks_c_5601-1987", "CP949"},
    {"ks_c_5601-1989", "CP949"},
    {"ksc5601", "CP949"},
    {"ksc_5601", "CP949"},
    {"csksc56011987", "CP949"},
    {"iso-ir-149", "CP949"},
    {"korean", "CP949"},
    {"euc-kr", "CP949"},
    {"cseuckr", "CP949"},
    {"windows-949", "CP949"},
    {"x-windows-949", "CP949"},
    {"gb2312", "GB18030"},
    {"gb_2312", "GB18030"},
    {"gb_2312-80", "GB18030"},
    {"csgb2312", "GB18030"},
    {"csiso58gb231280", "GB18030"},
    {"iso-ir-58", "GB18030"},
    {"chinese", "GB18030"},
    {"euc-cn", "GB18030"},
    {"x-euc-cn", "GB18030"},
    {"gbk", "GB18030"},
    {"x-gbk", "GB18030"},
    {"cp936", "GB18030"},
    {"ms936", "GB18030"},
    {"windows-936", "GB18030"},
    {"big5", "BIG5-HKSCS"},
    {"cn-big5", "BIG5-HKSCS"},
    {"csbig5", "BIG5-HKSCS"},
    {"x-x-big5", "BIG5-HKSCS"},
    {"x-big5", "BIG5-HKSCS"},
    {"iso-8859-8-i", "ISO-8859-8"},
    {"iso-8859-8-e", "ISO-8859-8"},
    {"csiso88598i", "ISO-8859-8"},
    {"csiso88598e", "ISO-8859-8"},
    {"logical", "ISO-8859-8"},
    {"visual", "ISO-8859-8"},
    {"utf-7", "UTF-7"},
    {"x-utf-7", "UTF-7"},
    {"unicode-1-1-utf-7", "UTF-7"},
    {"csunicode11utf7", "UTF-7"},
    {"utf-16", "utf-16"},
    {"unicode", "utf-16"},
    {"x-mac-roman", "MACINTOSH"},
    {"x-mac", "MACINTOSH"},
    {"macintosh", "MACINTOSH"},
    {"mac", "MACINTOSH"},
    {"csmacintosh", "MACINTOSH"},
    {"x-mac-ce", "MAC-CENTRALEUROPE"},
    {"x-mac-centraleurroman", "MAC-CENTRALEUROPE"},
    {"x-mac-cyrillic", "MAC-CYRILLIC"},
    {"x-mac-ukrainian", "MACUKRAINIAN"},
    {"x-mac-icelandic", "MAC-IS"},
};

struct TCharset {
  TKind kind = TKind::Unknown;
  int codePage = 0;
  iconv_t cd = reinterpret_cast<iconv_t>(-1);
  bool asciiCompatible = true; // ASCII bytes stand for themselves
};

std::mutex charsetsMutex;
std::unordered_map<std::string, TCharset> charsets;
// Names come from messages: a message that names many could otherwise grow the table forever.
constexpr size_t MaxCharsets = 256;

// The name as looked up: lower case, without quotes, blanks and an RFC 2231 language
// ("utf-8*en").
std::string KeyOf(std::string_view charset) {
  charset = TrimBlanks(charset);
  if (charset.size() >= 2 && charset.front() == '"' && charset.back() == '"')
    charset = TrimBlanks(charset.substr(1, charset.size() - 2));
  charset = charset.substr(0, charset.find('*'));
  return LowerCaseAscii(charset);
}

// "windows-1250", "cp1250", "x-cp1250": the Windows code pages that the tables know.
int WindowsCodePageOf(std::string_view key) {
  for (std::string_view prefix : {"windows-", "x-cp", "cp"}) {
    if (!key.starts_with(prefix)) continue;
    std::string_view digits = key.substr(prefix.size());
    int value = ParseInt32Or(digits, 0);
    if (value >= 1250 && value <= 1258) return value;
  }
  return 0;
}

// iconv gets only plain names: a name is text from a message.
bool PlainName(std::string_view name) {
  if (name.empty() || name.size() > 40) return false;
  for (char c : name)
    if (!IsAsciiLetter(c) && !IsDigit(c) && c != '-' && c != '_' && c != '.' && c != ':')
      return false;
  return true;
}

// Bytes to UTF-8 through a descriptor; an invalid byte becomes "?". An incomplete character at
// the end goes to tail when one is given, else it becomes "?".
void IconvToUtf8(iconv_t cd, std::string_view bytes, std::string& utf8, std::string* tail) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char buffer[4096];
  char* in = const_cast<char*>(bytes.data());
  size_t inLeft = bytes.size();
  bool flushing = false; // all input taken: only the shift state is left to write
  for (;;) {
    char* out = buffer;
    size_t outLeft = sizeof buffer;
    size_t result = flushing ? iconv(cd, nullptr, nullptr, &out, &outLeft)
                             : iconv(cd, &in, &inLeft, &out, &outLeft);
    const int error = result == static_cast<size_t>(-1) ? errno : 0;
    utf8.append(buffer, static_cast<size_t>(out - buffer));
    if (error == E2BIG) continue;
    if (flushing) break;
    if (error == EILSEQ) {
      utf8 += '?';
      ++in;
      --inLeft;
      continue;
    }
    if (error == EINVAL) {
      if (tail)
        tail->assign(in, inLeft);
      else
        utf8 += '?';
    }
    flushing = true;
  }
}

TCharset Resolve(const std::string& key) {
  TCharset charset;
  std::string_view target = key;
  for (const auto& alias : Aliases)
    if (alias.name == key) target = alias.target;
  if (target == "utf-8") {
    charset.kind = TKind::Utf8;
  } else if (target == "undeclared") {
    charset.kind = TKind::Undeclared;
  } else if (target == "utf-16") {
    charset.kind = TKind::Utf16;
    charset.asciiCompatible = false;
  } else if (target.starts_with("cp:")) {
    charset.kind = TKind::CodePage;
    charset.codePage = ParseInt32Or(target.substr(3), 1252);
  } else if (int codePage = WindowsCodePageOf(key)) {
    charset.kind = TKind::CodePage;
    charset.codePage = codePage;
  } else if (PlainName(target)) {
    const std::string name = UpperCaseAscii(target);
    charset.cd = iconv_open("UTF-8", name.c_str());
    if (charset.cd != reinterpret_cast<iconv_t>(-1)) {
      charset.kind = TKind::Iconv;
      // ASCII bytes stand for themselves unless they can shift to other characters (as in
      // ISO-2022-JP, UTF-7 or HZ): each probe must come through unchanged.
      std::string ascii;
      for (int c = 1; c < 0x80; ++c)
        ascii += static_cast<char>(c);
      charset.asciiCompatible = true;
      for (std::string_view probe : {std::string_view(ascii), std::string_view("\x1B$BF|\x1B(B"),
                                     std::string_view("+AGE-"), std::string_view("~{VP~}")}) {
        std::string converted;
        IconvToUtf8(charset.cd, probe, converted, nullptr);
        charset.asciiCompatible = charset.asciiCompatible && converted == probe;
      }
    }
  }
  return charset;
}

const TCharset& Lookup(const std::string& key) {
  auto found = charsets.find(key);
  if (found != charsets.end()) return found->second;
  if (charsets.size() >= MaxCharsets) {
    for (auto& [name, charset] : charsets)
      if (charset.kind == TKind::Iconv) iconv_close(charset.cd);
    charsets.clear();
  }
  return charsets.emplace(key, Resolve(key)).first->second;
}

// The byte order of UTF-16 text: by its byte-order mark (which is dropped), else little-endian
// when the zero bytes of the first characters stand at odd offsets, as in ASCII text written
// as UTF-16LE.
std::string_view Utf16Order(std::string_view& bytes) {
  if (bytes.size() >= 2) {
    auto b0 = static_cast<unsigned char>(bytes[0]), b1 = static_cast<unsigned char>(bytes[1]);
    if ((b0 == 0xFF && b1 == 0xFE) || (b0 == 0xFE && b1 == 0xFF)) {
      bytes.remove_prefix(2);
      return b0 == 0xFF ? "UTF-16LE" : "UTF-16BE";
    }
  }
  int evenZeros = 0, oddZeros = 0;
  for (size_t i = 0; i < bytes.size() && i < 64; ++i)
    if (bytes[i] == '\0') ++(i % 2 ? oddZeros : evenZeros);
  return oddZeros > evenZeros ? "UTF-16LE" : "UTF-16BE";
}

void AppendUtf8AsAnsi(std::string_view utf8, std::string& out) {
  if (AnsiCodePage() == CodePageUtf8)
    out.append(utf8);
  else
    out += Utf8ToAnsi(utf8);
}

} // namespace

bool IsKnownCharset(std::string_view charset) {
  const std::string key = KeyOf(charset);
  std::lock_guard lock(charsetsMutex);
  return Lookup(key).kind != TKind::Unknown;
}

void AppendCharsetToAnsi(std::string_view bytes, std::string_view charset, std::string& out,
                         std::string* tail) {
  if (tail) tail->clear();
  const std::string key = KeyOf(charset);
  std::unique_lock lock(charsetsMutex);
  const TCharset& found = Lookup(key);
  if (found.asciiCompatible && IsAscii(bytes)) {
    out.append(bytes);
    return;
  }
  switch (found.kind) {
  case TKind::Unknown:
  case TKind::Undeclared:
    lock.unlock();
    out += UndeclaredToAnsi(bytes);
    return;
  case TKind::Utf8: {
    lock.unlock();
    size_t cut = tail ? Utf8IncompleteTail(bytes) : 0;
    if (tail) tail->assign(bytes.substr(bytes.size() - cut));
    out += Utf8ToAnsi(bytes.substr(0, bytes.size() - cut));
    return;
  }
  case TKind::CodePage: {
    const int codePage = found.codePage;
    lock.unlock();
    if (codePage == AnsiCodePage())
      out.append(bytes);
    else
      out += Utf8ToAnsi(AnsiToUtf8(bytes, codePage));
    return;
  }
  case TKind::Utf16: {
    lock.unlock();
    std::string_view order = Utf16Order(bytes);
    AppendCharsetToAnsi(bytes, order, out, tail);
    return;
  }
  case TKind::Iconv: {
    std::string utf8;
    IconvToUtf8(found.cd, bytes, utf8, tail);
    lock.unlock();
    AppendUtf8AsAnsi(utf8, out);
    return;
  }
  }
}

std::string CharsetToAnsi(std::string_view bytes, std::string_view charset) {
  std::string out;
  AppendCharsetToAnsi(bytes, charset, out);
  return out;
}

} // namespace pellora
