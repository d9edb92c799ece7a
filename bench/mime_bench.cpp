// Parse, body analysis and decoding of every leaf part over generated messages, side by side
// with GMime 3 on the same bytes in the same run.
#include "bench_measure.h"
#include "mime/mail_message.h"
#include "mime/transfer_encodings.h"

#include <gmime/gmime.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

using namespace pellora;

namespace {

class TGenerator {
public:
  explicit TGenerator(uint64_t seed) : FRng(seed) {}

  std::string Message() {
    std::string headers = Headers();
    switch (Pick(6)) {
    case 0:
      return headers + TextPart(2000 + Pick(30000));
    case 1:
      return headers + Multipart("alternative", {TextPart(1000 + Pick(20000)), HtmlPart()});
    case 2: {
      std::vector<std::string> parts{
          Multipart("alternative", {TextPart(1000 + Pick(10000)), HtmlPart()})};
      for (int i = 0, n = 1 + Pick(3); i < n; ++i)
        parts.push_back(Attachment(5000 + Pick(300000)));
      return headers + Multipart("mixed", parts);
    }
    case 3: // three levels: mixed, alternative, related
      return headers +
             Multipart("mixed",
                       {Multipart("alternative",
                                  {TextPart(1000 + Pick(8000)),
                                   Multipart("related", {HtmlPart(), Image(2000 + Pick(60000))})}),
                        Attachment(10000 + Pick(200000))});
    case 4:
      return headers + Multipart("mixed", {LongLinePart(), Attachment(5000 + Pick(100000))});
    default:
      return headers + Multipart("related", {HtmlPart(), Image(2000 + Pick(40000)),
                                             Image(2000 + Pick(40000))});
    }
  }

private:
  int Pick(int n) { return static_cast<int>(FRng() % static_cast<uint64_t>(n)); }

  std::string Words(size_t bytes, bool eightBit, size_t lineLength) {
    static const char* const words[] = {"lorem",    "ipsum",   "dolor",     "sit",      "amet",
                                        "mail",     "message", "viewer",    "stored",   "folder",
                                        "report",   "draft",   "caf\xE9",   "na\xEFve", "M\xFCller",
                                        "se\xF1or", "\xE0",    "d\xE9j\xE0"};
    std::string out;
    size_t lineStart = 0;
    while (out.size() < bytes) {
      int index = Pick(eightBit ? 18 : 12);
      out += words[index];
      if (out.size() - lineStart >= lineLength) {
        out += "\r\n";
        lineStart = out.size();
      } else {
        out += ' ';
      }
    }
    return out + "\r\n";
  }

  std::string Boundary() {
    char text[48];
    std::snprintf(text, sizeof text, "----=_Part_%08X_%08X", static_cast<unsigned>(FRng()),
                  static_cast<unsigned>(FRng()));
    return text;
  }

  std::string Headers() {
    std::string h;
    for (int i = 0, n = 1 + Pick(4); i < n; ++i) {
      h += "Received: from mx" + std::to_string(i) + ".example.net (mx" + std::to_string(i) +
           ".example.net [192.0.2." + std::to_string(Pick(250)) +
           "])\r\n\tby mail.example.org (Postfix) with ESMTP id 4F2A1" +
           std::to_string(Pick(9999)) + "\r\n\tfor <user@example.org>; Tue, " +
           std::to_string(1 + Pick(28)) + " Nov 2022 08:12:31 +0200\r\n";
    }
    h += "From: =?iso-8859-1?Q?J=F6rg_M=FCller?= <joerg@example.com>\r\n";
    h += "To: \"Doe, John\" <john@example.com>, ann@example.com,\r\n =?UTF-8?B?"
         "TWlyb3PFgmF3IE1hcmN6YWs=?= <marczak@example.com>\r\n";
    h += "Cc: team@example.org\r\n";
    h += "Subject: =?UTF-8?Q?Caf=C3=A9_report_no=2E_" + std::to_string(Pick(1000)) +
         "?= and some plain words\r\n";
    h += "Date: Tue, " + std::to_string(1 + Pick(28)) + " Nov 2022 08:12:31 +0200\r\n";
    h += "Message-ID: <" + std::to_string(FRng()) + "@example.com>\r\n";
    h += "MIME-Version: 1.0\r\n";
    return h;
  }

  std::string TextPart(size_t bytes) {
    return "Content-Type: text/plain; charset=iso-8859-1\r\n"
           "Content-Transfer-Encoding: quoted-printable\r\n\r\n" +
           QPEncodeText(Words(bytes, true, 60 + Pick(140)), false);
  }

  std::string HtmlPart() {
    std::string html = "<html><body><p>" + Words(2000 + Pick(30000), true, 70) +
                       "</p><img src=\"cid:img1@example.com\"></body></html>\r\n";
    return "Content-Type: text/html; charset=iso-8859-1\r\n"
           "Content-Transfer-Encoding: quoted-printable\r\n\r\n" +
           QPEncodeText(html, false);
  }

  std::string LongLinePart() {
    return "Content-Type: text/plain; charset=us-ascii\r\nContent-Transfer-Encoding: 7bit\r\n\r\n" +
           Words(20000 + Pick(60000), false, 2000 + Pick(8000));
  }

  std::string Binary(size_t bytes) {
    std::string data(bytes, '\0');
    for (auto& c : data)
      c = static_cast<char>(FRng() & 255);
    std::string encoded;
    EncodeBase64Lines(data, encoded);
    return encoded;
  }

  std::string Attachment(size_t bytes) {
    std::string name = "report-" + std::to_string(Pick(100000)) + ".bin";
    return "Content-Type: application/octet-stream; name=\"" + name +
           "\"\r\nContent-Disposition: attachment;\r\n filename=\"" + name +
           "\"\r\nContent-Transfer-Encoding: base64\r\n\r\n" + Binary(bytes);
  }

  std::string Image(size_t bytes) {
    return "Content-Type: image/png\r\nContent-ID: <img1@example.com>\r\n"
           "Content-Transfer-Encoding: base64\r\n\r\n" +
           Binary(bytes);
  }

  std::string Multipart(const char* subtype, const std::vector<std::string>& parts) {
    std::string b = Boundary();
    std::string out = std::string("Content-Type: multipart/") + subtype + ";\r\n boundary=\"" + b +
                      "\"\r\n\r\nThis is a multi-part message in MIME format.\r\n";
    for (const auto& part : parts)
      out += "--" + b + "\r\n" + part + "\r\n";
    out += "--" + b + "--\r\n";
    return out;
  }

  std::mt19937_64 FRng;
};

struct TStats {
  size_t leaves = 0;
  size_t decodedBytes = 0;
};

TStats RunOurs(const std::vector<std::string>& messages) {
  TStats stats;
  std::vector<TMailPart*> stack;
  for (const auto& text : messages) {
    TMailMessage m;
    m.ReadFromText(text);
    m.FindBodies();
    stack.assign(1, &m);
    while (!stack.empty()) {
      TMailPart* part = stack.back();
      stack.pop_back();
      if (part->SubParts().Count() == 0) {
        part->DecodeBody();
        stats.decodedBytes += part->DecodedBody().size();
        ++stats.leaves;
      }
      for (TMailPart* sub : part->SubParts())
        stack.push_back(sub);
    }
  }
  return stats;
}

void OnGMimePart(GMimeObject*, GMimeObject* part, gpointer data) {
  auto* stats = static_cast<TStats*>(data);
  if (!GMIME_IS_PART(part)) return;
  ++stats->leaves;
  GMimeDataWrapper* content = g_mime_part_get_content(GMIME_PART(part));
  if (content == nullptr) return;
  GMimeStream* out = g_mime_stream_mem_new();
  g_mime_data_wrapper_write_to_stream(content, out);
  stats->decodedBytes += static_cast<size_t>(g_mime_stream_length(out));
  g_object_unref(out);
}

TStats RunGMime(const std::vector<GByteArray*>& messages) {
  TStats stats;
  for (GByteArray* bytes : messages) {
    GMimeStream* stream = g_mime_stream_mem_new_with_byte_array(bytes);
    g_mime_stream_mem_set_owner(GMIME_STREAM_MEM(stream), FALSE);
    GMimeParser* parser = g_mime_parser_new_with_stream(stream);
    GMimeMessage* message = g_mime_parser_construct_message(parser, nullptr);
    if (message != nullptr) {
      g_mime_message_foreach(message, OnGMimePart, &stats);
      g_object_unref(message);
    }
    g_object_unref(parser);
    g_object_unref(stream);
  }
  return stats;
}

using pellora::bench::BestSeconds;

} // namespace

int main(int argc, char** argv) {
  const size_t targetBytes = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 110u * 1000 * 1000;
  const int runs = 3;
  TGenerator generator(20261210);
  std::vector<std::string> messages;
  size_t total = 0;
  while (total < targetBytes) {
    messages.push_back(generator.Message());
    total += messages.back().size();
  }
  g_mime_init();
  std::vector<GByteArray*> arrays;
  for (const auto& m : messages) {
    GByteArray* a = g_byte_array_sized_new(static_cast<guint>(m.size()));
    g_byte_array_append(a, reinterpret_cast<const guint8*>(m.data()), static_cast<guint>(m.size()));
    arrays.push_back(a);
  }
  const double mb = total / 1e6;
  std::printf("mime: %zu generated messages, %.1f MB (parse + bodies + decode every leaf, best of "
              "%d)\n",
              messages.size(), mb, runs);

  TStats ours, theirs;
  double oursSeconds = BestSeconds(runs, [&] { ours = RunOurs(messages); });
  double gmimeSeconds = BestSeconds(runs, [&] { theirs = RunGMime(arrays); });
  std::printf("  pellora  %8.1f MB/s  (%zu leaf parts, %zu decoded bytes)\n", mb / oursSeconds,
              ours.leaves, ours.decodedBytes);
  std::printf("  gmime 3  %8.1f MB/s  (%zu leaf parts, %zu decoded bytes)\n", mb / gmimeSeconds,
              theirs.leaves, theirs.decodedBytes);
  std::printf("  ratio pellora/gmime: %.2f\n", gmimeSeconds / oursSeconds);

  for (GByteArray* a : arrays)
    g_byte_array_unref(a);
  g_mime_shutdown();
  return 0;
}
