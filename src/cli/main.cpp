#include "cli/cli.h"

#include "pellora_version.h"
#include "platform/codepage.h"
#include "platform/qt_locale.h"
#include "stores/mailbox.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <map>

namespace pellora::cli {
namespace {

struct TEntry {
  const char* usage;
  int (*run)(const TArgs&);
};

std::map<std::string, TEntry>& Commands() {
  static std::map<std::string, TEntry> commands;
  return commands;
}

void PrintHelp(std::FILE* to) {
  std::fprintf(to, "Usage: pellora-cli COMMAND [ARGS]\nReads mail stores and messages as the viewer "
                   "does.\n\nCommands:\n");
  for (const auto& [name, entry] : Commands()) std::fprintf(to, "  %s\n", entry.usage);
  std::fprintf(to, "\nOptions: --help, --version\n");
}

} // namespace

TCliCommand::TCliCommand(const char* name, const char* usage, int (*run)(const TArgs&)) {
  Commands()[name] = {usage, run};
}

TOpenKind TakeKindOption(TArgs& args, const std::string& path) {
  auto it = std::find(args.begin(), args.end(), "--kind");
  if (it == args.end()) return KindOfPath(path);
  if (it + 1 == args.end()) throw EUsage("--kind needs a value");
  std::string value = *(it + 1);
  args.erase(it, it + 2);
  if (value != "0" && value != "1" && value != "2" && value != "3")
    throw EUsage("--kind must be 0, 1, 2 or 3");
  return static_cast<TOpenKind>(std::stoi(value));
}

TArgs Positionals(const TArgs& args) {
  TArgs rest;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--kind") {
      ++i;
      continue;
    }
    rest.push_back(args[i]);
  }
  return rest;
}

TArgs LoadStoreArgs(const TArgs& args, size_t count, const char* wrongCount, TMailbox& box,
                    TLoadOptions load) {
  TArgs rest = Positionals(args);
  if (rest.size() != count) throw EUsage(wrongCount);
  TArgs options = args;
  LoadStoreChecked(box, rest[0], TakeKindOption(options, rest[0]), nullptr, load);
  return rest;
}

bool TakeFlag(TArgs& args, const std::string& flag) {
  auto it = std::find(args.begin(), args.end(), flag);
  if (it == args.end()) return false;
  args.erase(it);
  return true;
}

std::string TsvCell(std::string text) {
  for (auto& c : text)
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  return text;
}

void PrintAnsi(const std::string& text) {
  std::string utf8 = AnsiToUtf8(text);
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
}

void PrintNotes(const std::vector<TStoreNote>& notes, size_t from) {
  for (size_t i = from; i < notes.size(); ++i) {
    std::string line = AnsiToUtf8(NoteText(notes[i]));
    std::fprintf(stderr, "%s\n", line.c_str());
  }
}

} // namespace pellora::cli

int main(int argc, char** argv) {
  using namespace pellora::cli;
  TArgs args(argv + 1, argv + argc);
  const auto app = MakeApplication(argc, argv, args); // the user's locale for collation
  pellora::InstallQtLocaleCompare();
  if (args.empty() || args[0] == "--help" || args[0] == "-h") {
    PrintHelp(args.empty() ? stderr : stdout);
    return args.empty() ? 2 : 0;
  }
  if (args[0] == "--version") {
    std::printf("pellora-cli %s (commit %s)\n", PELLORA_VERSION, PELLORA_COMMIT);
    return 0;
  }
  auto it = Commands().find(args[0]);
  if (it == Commands().end()) {
    std::fprintf(stderr, "Unknown command: %s\n", args[0].c_str());
    PrintHelp(stderr);
    return 2;
  }
  args.erase(args.begin());
  try {
    return it->second.run(args);
  } catch (const EUsage& e) {
    std::fprintf(stderr, "%s\nUsage: pellora-cli %s\n", e.what(), it->second.usage);
    return 2;
  } catch (const std::exception& e) {
    std::string text = pellora::AnsiToUtf8(e.what());
    std::fprintf(stderr, "%s\n", text.c_str());
    return 1;
  }
}
