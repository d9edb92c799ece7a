// Writes samples/Archive.dbx, the small database that `make run` opens:
//   cmake --build build --target pellora_sample_writer && build/pellora_sample_writer samples/Archive.dbx
#include "support/store_builders.h"

#include <fstream>
#include <iostream>

using pellora::test::TDbxTestMessage;

namespace {
TDbxTestMessage Spec(const std::string& from, const std::string& to, const std::string& subject,
                     const std::string& date, int64_t unixTime, uint32_t flags, uint32_t priority,
                     const std::string& body) {
  TDbxTestMessage spec;
  spec.Text = "From: " + from + "\r\nTo: " + to + "\r\nSubject: " + subject + "\r\nDate: " + date +
              "\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\n" + body;
  spec.Subject = subject;
  spec.From = from;
  spec.ToAddresses = to;
  spec.Flags = flags;
  spec.Priority = priority;
  spec.UnixTime = unixTime;
  return spec;
}
} // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: pellora_sample_writer OUTPUT.dbx\n";
    return 2;
  }
  std::vector<TDbxTestMessage> messages = {
      Spec("Erin <erin@example.com>", "reader@example.net", "Minutes of the Monday meeting",
           "Mon, 03 Apr 2006 09:30:00 +0200", 1144049400, 0x80, 3,
           "Attached are the minutes.\r\nErin\r\n"),
      Spec("Frank <frank@example.org>", "reader@example.net", "Server maintenance tonight",
           "Tue, 04 Apr 2006 16:05:00 +0200", 1144159500, 0x80 | 0x20, 1,
           "The mail server is down from 22:00 to 23:00.\r\n"),
      Spec("Grace <grace@example.com>", "reader@example.net", "Holiday photos",
           "Wed, 05 Apr 2006 20:45:00 +0200", 1144262700, 0x4000, 5,
           "Some photos from the trip, as promised.\r\n"),
  };
  std::ofstream out(argv[1], std::ios::binary);
  std::string bytes = pellora::test::BuildDbx(messages, "Archive");
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return out ? 0 : 1;
}
