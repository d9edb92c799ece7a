// Export of a mailbox file: loads it, then times ExportMessages alone (to one mailbox file or
// to .eml files). Prints "key value" lines for bench/run-export.sh.
#include "export/message_export.h"
#include "platform/date_time.h"
#include "platform/files.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

using namespace pellora;

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: bench_export MAILBOX mbox|eml TARGET\n");
    return 2;
  }
  const std::string mode = argv[2], target = argv[3];
  TMailbox box;
  auto t0 = std::chrono::steady_clock::now();
  if (!box.Load(argv[1], okMailboxFile).Loaded) return 1;
  auto t1 = std::chrono::steady_clock::now();
  if (mode == "eml") std::filesystem::create_directories(target);
  TExportResult result =
      ExportMessages(box, box.Order(), mode == "eml" ? efEml : efMbox, target);
  auto t2 = std::chrono::steady_clock::now();
  uint64_t bytes = 0;
  if (mode == "eml") {
    for (const auto& e : std::filesystem::directory_iterator(target)) bytes += e.file_size();
  } else {
    bytes = std::filesystem::file_size(target);
  }
  double load = std::chrono::duration<double>(t1 - t0).count();
  double run = std::chrono::duration<double>(t2 - t1).count();
  std::printf("messages %u\nskipped %u\nload_s %.3f\nexport_s %.3f\nwritten_bytes %llu\n"
              "export_mb_s %.1f\n",
              result.Messages, static_cast<unsigned>(result.Skipped.size()), load, run,
              static_cast<unsigned long long>(bytes),
              bytes / 1e6 / run);
  return result.Skipped.empty() ? 0 : 1;
}
