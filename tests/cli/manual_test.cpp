// The manual and the bash completion against pellora-cli --help: each command the program
// offers is documented with the same synopsis, and completed with the same options.
#include "support/run_command.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

using pellora::test::ShellQuote;

std::string Run(const std::string& command) {
  return pellora::test::RunCommand(command).out;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

std::string FirstWord(const std::string& text) {
  return text.substr(0, text.find(' '));
}

// Command name to synopsis, from the "Commands:" lines of --help ("  SYNOPSIS   what it does").
std::map<std::string, std::string> HelpSynopses() {
  std::map<std::string, std::string> synopses;
  bool inCommands = false;
  for (const std::string& line : Lines(Run(std::string(PELLORA_CLI) + " --help"))) {
    if (line == "Commands:")
      inCommands = true;
    else if (line.empty())
      inCommands = false;
    else if (inCommands && line.starts_with("  ")) {
      std::string synopsis = line.substr(2, line.find("   ", 2) - 2);
      synopses[FirstWord(synopsis)] = synopsis;
    }
  }
  return synopses;
}

// The same from the manual's source: the COMMANDS section's entries, markup taken out.
std::map<std::string, std::string> ManualSynopses() {
  std::ifstream in(PELLORA_CLI_MANUAL);
  std::map<std::string, std::string> synopses;
  bool inCommands = false;
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with("# "))
      inCommands = line == "# COMMANDS";
    else if (inCommands && line.starts_with("*")) {
      std::string synopsis;
      for (char c : line)
        if (c != '*' && c != '_') synopsis += c;
      synopses[FirstWord(synopsis)] = synopsis;
    }
  }
  return synopses;
}

// What the completion offers for the words after "pellora-cli", the last being completed,
// in folder.
std::set<std::string> Complete(const std::vector<std::string>& words, const std::string& folder) {
  std::string array = "pellora-cli";
  for (const auto& w : words)
    array += " " + ShellQuote(w);
  std::string script = "source " + ShellQuote(PELLORA_CLI_COMPLETION) + " && cd " +
                       ShellQuote(folder) + " && COMP_WORDS=(" + array +
                       ") && COMP_CWORD=" + std::to_string(words.size()) +
                       " && _pellora_cli && printf '%s\\n' \"${COMPREPLY[@]}\"";
  std::set<std::string> offered;
  for (const std::string& line :
       Lines(Run("bash --norc -c " + ShellQuote(script) + " 2>/dev/null")))
    if (!line.empty()) offered.insert(line);
  return offered;
}

} // namespace

TEST(Manual, ListsEveryCommandOfHelpWithItsSynopsis) {
  const auto help = HelpSynopses();
  ASSERT_GE(help.size(), 8u);
  EXPECT_EQ(ManualSynopses(), help);
}

TEST(Completion, OffersTheCommandsAndOptionsOfHelp) {
  pellora::test::TTempDir dir;
  const auto help = HelpSynopses();
  std::set<std::string> commands = {"--help", "--version"};
  for (const auto& [name, synopsis] : help) {
    commands.insert(name);
    std::set<std::string> options;
    std::istringstream words(synopsis);
    for (std::string word; words >> word;) {
      size_t dash = word.find("--");
      if (dash == std::string::npos) continue;
      size_t end = word.find_first_not_of("-abcdefghijklmnopqrstuvwxyz", dash);
      options.insert(word.substr(dash, end - dash));
    }
    EXPECT_EQ(Complete({name, "--"}, dir.Path()), options) << name;
  }
  EXPECT_EQ(Complete({""}, dir.Path()), commands);
}

TEST(Completion, OffersValuesAndFilesByKind) {
  pellora::test::TTempDir dir;
  dir.Write("Inbox.dbx", "");
  dir.Write("Old.MBX", "");
  dir.Write("note.eml", "");
  dir.Write("with space.mbox", "");
  dir.MakeDir("Mail");
  const std::set<std::string> fields = {"0", "1", "2", "3", "4", "5", "6"};
  const std::set<std::string> all = {"Inbox.dbx", "Old.MBX", "note.eml", "with space.mbox", "Mail"};
  struct Case {
    std::vector<std::string> words;
    std::set<std::string> offered;
  } cases[] = {
      {{"list", "--kind", ""}, {"0", "1", "2", "3"}},
      {{"list", ""}, all},
      {{"list", "--kind", "0", ""}, {"Inbox.dbx", "Old.MBX", "Mail"}},
      {{"text", "--kind", "1", ""}, {"Mail"}},
      {{"list", "--json", "w"}, {"with space.mbox"}},
      {{"list", "Inbox.dbx", ""}, {}}, // one path only
      {{"filter", "Inbox.dbx", ""}, fields},
      {{"filter", "--kind", "0", "Inbox.dbx", ""}, fields},
      {{"filter", "Inbox.dbx", "3", ""}, {}}, // the value searched for
      {{"export", "Inbox.dbx", "--filter", ""}, fields},
      {{"export", "Inbox.dbx", "--filter", "2", ""}, {}},
      {{"export", "Inbox.dbx", "--eml", ""}, {"Mail"}},
      {{"export", "Inbox.dbx", "--mbox", "n"}, {"note.eml"}},
      {{"stores", "--profile", ""}, {"Mail"}},
      {{"kind", "Inbox.dbx", "n"}, {"note.eml"}},
  };
  for (const auto& c : cases) {
    std::string shown;
    for (const auto& w : c.words)
      shown += " [" + w + "]";
    EXPECT_EQ(Complete(c.words, dir.Path()), c.offered) << shown;
  }
}
