// Store benchmarks; each prints "key value" lines that bench/run-stores.sh puts side by side.
//   bench_stores mailbox FILE      load a mailbox file (either rule) into entries, read back its
//                                  last message
//   bench_stores list KIND PATH    load a store of any kind into entries (time, peak memory)
//   bench_stores gmime FILE        the peer: GMime's mbox parser over the same file
//   bench_stores dbx COUNT FILE    build a DBX of COUNT messages, open it, read every text
//   bench_stores recover MB FILE   build a DBX of about MB megabytes whose index reaches every
//                                  other message; load it without and with recovery
//   bench_stores dbx-from MAILBOX COUNT FILE
//                                  build a DBX of COUNT messages taken in turn from a mailbox
//                                  file's messages of at most 16 KB (a DBX's offsets are 32-bit:
//                                  100,000 messages of every size would not fit)
#include "bench_measure.h"
#include "platform/files.h"
#include "stores/dbx_reader.h"
#include "stores/kinds/mailbox_file_store.h"
#include "stores/kinds/store_kinds.h"
#include "stores/mailbox.h"
#include "support/mailbox_oracle.h"
#include "support/store_builders.h"

#include <gmime/gmime.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace pellora;

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

long PeakRssKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

using pellora::bench::CurrentRssKb;

// Bytes of a store: the file, or the files of a folder.
uint64_t StoreBytes(const std::string& path, TOpenKind kind) {
  if (kind != okMessageFolder) {
    TFileStamp stamp;
    GetFileStamp(path, stamp);
    return stamp.size;
  }
  return FindFiles(path, "*.eml", faAnyFile, false, nullptr);
}

int List(const std::string& path, TOpenKind kind) {
  const uint64_t bytes = StoreBytes(path, kind);
  long before = CurrentRssKb();
  TMailbox box;
  auto start = std::chrono::steady_clock::now();
  LoadStoreChecked(box, path, kind);
  double load = Seconds(start);
  long peak = PeakRssKb();
  size_t count = box.Entries().size();
  std::printf("bytes %llu\nmessages %zu\nload_s %.3f\nload_mb_s %.1f\n",
              static_cast<unsigned long long>(bytes), count, load, bytes / 1e6 / load);
  std::printf("peak_rss_kb %ld\nbytes_per_message %.0f\n", peak,
              count ? (peak - before) * 1024.0 / count : 0.0);
  return 0;
}

int Mailbox(const std::string& path) {
  TFileStamp stamp;
  GetFileStamp(path, stamp);
  long before = CurrentRssKb();
  TMailbox box;
  auto start = std::chrono::steady_clock::now();
  box.Load(path, okMailboxFile); // sorted newest first, as the list shows it
  double load = Seconds(start);
  long peak = PeakRssKb();
  size_t count = box.Entries().size();
  start = std::chrono::steady_clock::now();
  box.Sort(lcReceived, false);
  double sort = Seconds(start);
  std::printf("bytes %llu\nmessages %zu\nload_s %.3f\nload_mb_s %.1f\nsort_s %.3f\n",
              static_cast<unsigned long long>(stamp.size), count, load, stamp.size / 1e6 / load,
              sort);
  std::printf("peak_rss_kb %ld\nbytes_per_message %.0f\n", peak,
              count ? (peak - before) * 1024.0 / count : 0.0);
  const TMessageEntry* last = box.FindEntry(static_cast<int32_t>(count) - 1);
  if (!last) return 0;
  start = std::chrono::steady_clock::now();
  std::string text = box.GetEntryText(*last);
  double byOffset = Seconds(start);
  start = std::chrono::steady_clock::now();
  std::vector<std::string> lines;
  // No position: lines are counted from the start of the file.
  test::ReadMailboxMessage(path, lines, last->Header.Size, last->StartLine,
                           dynamic_cast<TMailboxFileStore&>(*box.Store()).Rule());
  double byCounting = Seconds(start);
  std::printf("last_message_bytes %zu\nread_back_offset_ms %.3f\nread_back_counting_ms %.1f\n",
              text.size(), byOffset * 1000, byCounting * 1000);
  return 0;
}

int Gmime(const std::string& path) {
  g_mime_init();
  int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0) return 1;
  auto start = std::chrono::steady_clock::now();
  GMimeStream* stream = g_mime_stream_mmap_new(fd, PROT_READ, MAP_PRIVATE);
  GMimeParser* parser = g_mime_parser_new_with_stream(stream);
  g_mime_parser_set_format(parser, GMIME_FORMAT_MBOX);
  g_mime_parser_set_persist_stream(parser, TRUE);
  size_t count = 0, seen = 0;
  while (!g_mime_parser_eos(parser)) {
    GMimeMessage* message = g_mime_parser_construct_message(parser, nullptr);
    if (!message) break;
    // What a list row needs: the same fields the scanner fills.
    const char* subject = g_mime_message_get_subject(message);
    GDateTime* date = g_mime_message_get_date(message);
    InternetAddressList* from = g_mime_message_get_from(message);
    InternetAddressList* to = g_mime_message_get_to(message);
    seen += (subject ? 1 : 0) + (date ? 1 : 0) + internet_address_list_length(from) +
            internet_address_list_length(to);
    ++count;
    g_object_unref(message);
  }
  double parse = Seconds(start);
  g_object_unref(parser);
  g_object_unref(stream);
  TFileStamp stamp;
  GetFileStamp(path, stamp);
  std::printf("messages %zu\nload_s %.3f\nload_mb_s %.1f\nfields %zu\n", count, parse,
              stamp.size / 1e6 / parse, seen);
  g_mime_shutdown();
  return 0;
}

int Dbx(int count, const std::string& path) {
  if (!FileExists(path)) {
    std::vector<test::TDbxTestMessage> messages(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
      auto& m = messages[static_cast<size_t>(i)];
      m.Subject = "Message " + std::to_string(i) + " about the quarterly report";
      m.From = "Ann Smith";
      m.Sender = "ann@example.org";
      m.ToNames = "Bob Jones;Carla Novak";
      m.ToAddresses = "bob@example.org;carla@example.org";
      m.UnixTime = 1262347200 + i * 60;
      m.Text = "From: Ann Smith <ann@example.org>\r\nTo: bob@example.org\r\nSubject: " + m.Subject +
               "\r\nDate: Fri, 1 Jan 2010 12:00:00 +0000\r\n\r\n";
      for (int l = 0; l < 20 + i % 200; ++l)
        m.Text += "Line " + std::to_string(l) + " of a message body that is long enough.\r\n";
    }
    std::string bytes = test::BuildDbx(messages);
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<long>(bytes.size()));
  }
  TFileStamp stamp;
  GetFileStamp(path, stamp);
  auto start = std::chrono::steady_clock::now();
  TDBXReader reader;
  reader.LoadFromFile(path);
  reader.ReadMessageInfos();
  double open = Seconds(start);
  start = std::chrono::steady_clock::now();
  uint64_t bytes = 0;
  for (int i = 0; i < reader.GetMessageCount(); ++i)
    bytes += reader.GetMessageText(i).size();
  double read = Seconds(start);
  std::printf("dbx_bytes %llu\ndbx_messages %d\ndbx_open_s %.3f\ndbx_text_bytes %llu\n"
              "dbx_read_s %.3f\ndbx_read_mb_s %.1f\n",
              static_cast<unsigned long long>(stamp.size), reader.GetMessageCount(), open,
              static_cast<unsigned long long>(bytes), read, bytes / 1e6 / read);
  return 0;
}

// A DBX of about megabytes MB whose index reaches every other message (the others are what
// recovery finds), built once; then its load without and with recovery.
int Recover(int megabytes, const std::string& path) {
  if (!FileExists(path)) {
    test::TDbxBuilder b;
    std::vector<uint32_t> indexed;
    std::string text;
    for (int i = 0; b.Bytes().size() < uint64_t(megabytes) << 20; ++i) {
      const std::string subject = "Message " + std::to_string(i) + " about the quarterly report";
      text = "From: Ann Smith <ann@example.org>\r\nTo: bob@example.org\r\nSubject: " + subject +
             "\r\nDate: Fri, 1 Jan 2010 12:00:00 +0000\r\n\r\n";
      for (int l = 0; l < 20 + i % 200; ++l)
        text += "Line " + std::to_string(l) + " of a message body that is long enough.\r\n";
      const uint32_t chain = b.AddText(text);
      const uint32_t record = b.AddRecord({test::TDbxProperty::Text(0x08, subject),
                                           test::TDbxProperty::U32(0x04, chain)});
      if (i % 2 == 0) indexed.push_back(record);
    }
    const uint32_t root = b.AddTree(indexed);
    std::string bytes = b.Build(static_cast<uint32_t>(indexed.size()), root);
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<long>(bytes.size()));
  }
  TFileStamp stamp;
  GetFileStamp(path, stamp);
  auto load = [&](bool recover, size_t& rows) {
    TMailbox box;
    auto start = std::chrono::steady_clock::now();
    LoadStoreChecked(box, path, okOEDatabase, nullptr, {recover});
    rows = box.Entries().size();
    return Seconds(start);
  };
  size_t listed = 0, all = 0;
  const double plain = load(false, listed);
  long before = CurrentRssKb();
  const double recovering = load(true, all);
  std::printf("bytes %llu\nlisted %zu\nrecovered %zu\nlist_s %.3f\nrecover_s %.3f\n"
              "recover_mb_s %.1f\npeak_rss_kb %ld\nrss_before_kb %ld\n",
              static_cast<unsigned long long>(stamp.size), listed, all - listed, plain, recovering,
              stamp.size / 1e6 / recovering, PeakRssKb(), before);
  return 0;
}

int DbxFrom(const std::string& mailbox, int count, const std::string& path) {
  TMailbox box;
  LoadStoreChecked(box, mailbox, okMailboxFile);
  std::vector<const TMessageEntry*> inFileOrder(box.Entries().size());
  for (const auto& entry : box.Entries())
    inFileOrder.at(static_cast<size_t>(entry.Index)) = &entry;
  std::vector<test::TDbxTestMessage> taken;
  for (const TMessageEntry* entry : inFileOrder) {
    test::TDbxTestMessage m;
    m.Text = box.GetEntryText(*entry);
    if (m.Text.size() > 16 * 1024) continue;
    m.Subject = entry->Header.Subject;
    m.From = entry->Header.From;
    m.Sender = entry->Header.Sender;
    m.ToAddresses = entry->Header.To;
    m.UnixTime = entry->Header.Date != 0
                     ? static_cast<int64_t>((entry->Header.Date - 25569.0) * 86400.0)
                     : 0;
    taken.push_back(std::move(m));
  }
  if (taken.empty()) return 1;
  std::vector<test::TDbxTestMessage> messages;
  messages.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i)
    messages.push_back(taken[static_cast<size_t>(i) % taken.size()]);
  std::string bytes = test::BuildDbx(messages);
  messages.clear();
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<long>(bytes.size()));
  std::printf("dbx_bytes %zu\ndbx_messages %d\ndistinct_messages %zu\n", bytes.size(), count,
              taken.size());
  return 0;
}

// A compressed mailbox file: the load, every row read in the file's order (one decompression),
// and single rows read alone, each decompressed from the start of the file.
int Compressed(const std::string& path) {
  TFileStamp stamp;
  GetFileStamp(path, stamp);
  long before = CurrentRssKb();
  TMailbox box;
  auto start = std::chrono::steady_clock::now();
  LoadStoreChecked(box, path, okMailboxFile);
  double load = Seconds(start);
  long peak = PeakRssKb();
  const size_t count = box.Entries().size();
  std::vector<const TMessageEntry*> rows(count);
  for (const auto& entry : box.Entries()) rows[static_cast<size_t>(entry.Index)] = &entry;
  uint64_t textBytes = 0;
  start = std::chrono::steady_clock::now();
  {
    TReadPass pass(box);
    std::string text;
    for (const TMessageEntry* entry : rows) {
      box.ReadEntryText(*entry, text);
      textBytes += text.size();
    }
  }
  double forward = Seconds(start);
  auto alone = [&](size_t row) {
    auto at = std::chrono::steady_clock::now();
    box.GetEntryText(*rows[row]);
    return Seconds(at) * 1000;
  };
  std::printf("bytes %llu\nmessages %zu\nload_s %.3f\nload_mb_s %.1f\n",
              static_cast<unsigned long long>(stamp.size), count, load, stamp.size / 1e6 / load);
  std::printf("peak_rss_kb %ld\nbytes_per_message %.0f\n", peak,
              count ? (peak - before) * 1024.0 / count : 0.0);
  std::printf("text_bytes %llu\nforward_s %.3f\nfirst_row_ms %.1f\nmiddle_row_ms %.1f\n"
              "last_row_ms %.1f\n",
              static_cast<unsigned long long>(textBytes), forward, count ? alone(0) : 0.0,
              count ? alone(count / 2) : 0.0, count ? alone(count - 1) : 0.0);
  return 0;
}

} // namespace

int main(int argc, char** argv) {
  std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "mailbox" && argc == 3) return Mailbox(argv[2]);
  if (mode == "gmime" && argc == 3) return Gmime(argv[2]);
  if (mode == "compressed" && argc == 3) return Compressed(argv[2]);
  if (mode == "dbx" && argc == 4) return Dbx(std::atoi(argv[2]), argv[3]);
  if (mode == "list" && argc == 4) return List(argv[3], static_cast<TOpenKind>(std::atoi(argv[2])));
  if (mode == "recover" && argc == 4) return Recover(std::atoi(argv[2]), argv[3]);
  if (mode == "dbx-from" && argc == 5) return DbxFrom(argv[2], std::atoi(argv[3]), argv[4]);
  std::fprintf(stderr,
               "usage: bench_stores mailbox FILE | list KIND PATH | gmime FILE | dbx COUNT FILE |\n"
               "       dbx-from MAILBOX COUNT FILE | compressed FILE | recover MB FILE\n");
  return 2;
}
