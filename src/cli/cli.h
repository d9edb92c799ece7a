#pragma once
// Shared plumbing of pellora-cli's commands. Each command lives in its own file and
// registers itself with a static TCliCommand.
#include "stores/kinds/store_kinds.h"

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

class QCoreApplication;

namespace pellora {
class TMailbox;
class TPdfMaker;
}

namespace pellora::cli {

using TArgs = std::vector<std::string>;

// Wrong usage: exit code 2 with the text on stderr.
class EUsage : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

struct TCliCommand {
  TCliCommand(const char* name, const char* usage, int (*run)(const TArgs& args));
};

// Takes "--kind K" out of args (anywhere) and returns K, or the kind of path when absent.
TOpenKind TakeKindOption(TArgs& args, const std::string& path);
// The arguments that are neither "--kind" nor its value, in order.
TArgs Positionals(const TArgs& args);
// Loads the store that the first argument that is no option names, "--kind K" honoured, as the
// viewer's opener loads it; a failure raises the viewer's text. Returns the arguments that are no
// options, the path first; wrongCount is the usage error when there are not exactly count of them.
// "--recover" (taken out of args by the command) loads the messages found outside the index too.
TArgs LoadStoreArgs(const TArgs& args, size_t count, const char* wrongCount, TMailbox& box,
                    TLoadOptions options = {});
// Removes a flag such as "--json" from args; true when it was there.
bool TakeFlag(TArgs& args, const std::string& flag);
// A TSV cell: tabs and line ends, which would break the row, become blanks.
std::string TsvCell(std::string text);
// Writes 8-bit program text as UTF-8 to stdout.
void PrintAnsi(const std::string& text);
// The application object for args: one that can render PDFs (on the offscreen platform when no
// display is there) where they ask for PDFs, else Qt Core alone.
std::unique_ptr<QCoreApplication> MakeApplication(int& argc, char** argv, const TArgs& args);
// What makes an export's PDFs, its one file titled title (UTF-8); raises in a build without the
// viewer's libraries.
std::unique_ptr<TPdfMaker> MakePdfMaker(const std::string& title);
// Writes the information lines of notes, from the one numbered from on (rows that could not be
// read or were skipped, a store changed on disk), to stderr, as UTF-8.
void PrintNotes(const std::vector<TStoreNote>& notes, size_t from = 0);

} // namespace pellora::cli
