// Writes samples/Archive.dbx, the small database that `make run` opens:
//   cmake --build build --target pellora_sample_writer && build/pellora_sample_writer samples/Archive.dbx
#include "stores/oe_reader.h"
#include "support/store_builders.h"

#include <fstream>
#include <iostream>

using pellora::test::TDbxTestMessage;

namespace {
TDbxTestMessage SampleMessage(const std::string& from, const std::string& to, const std::string& subject,
                     const std::string& date, int64_t unixTime, uint32_t flags, uint32_t priority,
                     const std::string& body) {
  TDbxTestMessage message;
  message.Text = "From: " + from + "\r\nTo: " + to + "\r\nSubject: " + subject + "\r\nDate: " + date +
              "\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\n" + body;
  message.Subject = subject;
  message.From = from;
  message.ToAddresses = to;
  message.Flags = flags;
  message.Priority = priority;
  message.UnixTime = unixTime;
  return message;
}
} // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: pellora_sample_writer OUTPUT.dbx\n";
    return 2;
  }
  std::vector<TDbxTestMessage> messages = {
      SampleMessage("Erin <erin@example.com>", "reader@example.net", "Minutes of the Monday meeting",
           "Mon, 03 Apr 2006 09:30:00 +0200", 1144049400, pellora::mfRead, 3,
           "Attached are the minutes.\r\nErin\r\n"),
      SampleMessage("Frank <frank@example.org>", "reader@example.net", "Server maintenance tonight",
           "Tue, 04 Apr 2006 16:05:00 +0200", 1144159500, pellora::mfRead | pellora::mfFlagged, 1,
           "The mail server is down from 22:00 to 23:00.\r\n"),
      SampleMessage("Grace <grace@example.com>", "reader@example.net", "Holiday photos",
           "Wed, 05 Apr 2006 20:45:00 +0200", 1144262700, pellora::mfAttachment, 5,
           "Some photos from the trip, as promised.\r\n"),
  };
  std::ofstream out(argv[1], std::ios::binary);
  std::string bytes = pellora::test::BuildDbx(messages, "Archive");
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return out ? 0 : 1;
}
