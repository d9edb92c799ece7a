#pragma once
// Runs a shell command line and takes its standard output and exit code.
#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace pellora::test {

// arg as one word of a shell command line.
inline std::string ShellQuote(const std::string& arg) {
  std::string q = "'";
  for (char c : arg)
    q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

struct TCommandRun {
  int code = -1; // -1 when the command did not exit by itself
  std::string out;
};

inline TCommandRun RunCommand(const std::string& command) {
  TCommandRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
    run.out.append(buffer, n);
  int status = pclose(pipe);
  run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

} // namespace pellora::test
