// Growth of the message model's entry points on inputs that once took time growing with the
// square of their size (label "scaling").
#include "mime/html_text.h"
#include "mime/mail_message.h"
#include "support/scaling.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace pellora {
namespace {

using test::ExpectLinearGrowth;

std::string ManyReceived(size_t hops) {
  std::string text;
  for (size_t i = 0; i < hops; ++i)
    text += "Received: from h" + std::to_string(i + 1) + ".example.org by h" + std::to_string(i) +
            ".example.org; Tue, 14 Mar 2023 09:15:02 +0100\r\n";
  return text + "Subject: route\r\n\r\nbody\r\n";
}

std::unique_ptr<TMailMessage> Parsed(const std::string& text) {
  auto message = std::make_unique<TMailMessage>();
  message->ReadFromText(text);
  return message;
}

TEST(Scaling, ReceivedParse) {
  ExpectLinearGrowth("parse, N Received lines", 1000, 1 << 20, ManyReceived,
                     [](const std::string& text) { Parsed(text)->ReceivedCount(); });
}

TEST(Scaling, ReceivedRoute) {
  ExpectLinearGrowth(
      "route list, N Received lines", 1000, 1 << 20,
      [](size_t hops) { return Parsed(ManyReceived(hops)); },
      [](const std::unique_ptr<TMailMessage>& message) { message->Route(); });
}

// A text body whose one long line comes before a uuencoded block.
TEST(Scaling, UuencodeAfterLongLine) {
  ExpectLinearGrowth(
      "bodies and attachments, N-byte line before begin", 16 * 1024, 1 << 28,
      [](size_t n) {
        return "Subject: uu\r\n\r\n" + std::string(n, 'a') +
               "\r\nbegin 644 a.bin\r\n#86)C\r\n`\r\nend\r\nafter\r\n";
      },
      [](const std::string& text) {
        auto message = Parsed(text);
        message->FindBodies();
        for (int i = 0; i < message->Attachments().Count(); ++i)
          message->Attachments()[i]->DecodeBody();
      });
}

// The text of an HTML body whose elements are never closed and whose "&"s begin no reference.
TEST(Scaling, HtmlText) {
  ExpectLinearGrowth(
      "HTML text, N unclosed elements", 1000, 1 << 24,
      [](size_t n) {
        std::string html;
        for (size_t i = 0; i < n; ++i)
          html += "<script>a & b <style><p class=\"x\">";
        return html;
      },
      [](const std::string& html) { HtmlToText(html); });
}

// Parts of a few bytes each: what the part tree keeps stays within 20 times the message.
TEST(Scaling, PartMemory) {
  const size_t parts = 100000;
  std::string text = "Subject: parts\r\nContent-Type: multipart/mixed; boundary=\"b\"\r\n\r\n";
  for (size_t i = 0; i < parts; ++i)
    text += "--b\r\n\r\nx\r\n";
  text += "--b--\r\n";
  size_t before = test::HeapInUse();
  auto message = Parsed(text);
  message->FindBodies();
  size_t used = test::HeapInUse() - before;
  std::printf("part tree of %zu parts: %zu bytes for a %zu-byte message (%.1fx)\n", parts, used,
              text.size(), static_cast<double>(used) / static_cast<double>(text.size()));
  EXPECT_LE(used, 20 * text.size());
}

} // namespace
} // namespace pellora
