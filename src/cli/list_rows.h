#pragma once
// The rows of a store as list prints them, shared by list and search.
#include <nlohmann/json.hpp>

#include <string>

namespace pellora {
class TMailbox;
class TThreads;
struct TMessageEntry;
} // namespace pellora

namespace pellora::cli {

// The columns besides the list's own: the store's path first (search over several stores), a
// store of folders' Folder and Kind after #, the recovered rows' State, and each row's Thread
// (numbered from 1) and Depth (0 for a thread's first messages) last.
struct TRowColumns {
  bool Path = false;
  bool Folders = false;
  bool State = false;
  const TThreads* Threads = nullptr;
};

void PrintRowsHeader(const TRowColumns& columns);
void PrintRow(const TMailbox& box, const TMessageEntry& entry, const TRowColumns& columns);
nlohmann::json RowJson(const TMailbox& box, const TMessageEntry& entry, const TRowColumns& columns);
// Prints rows as JSON: an array of RowJson objects.
void PrintJson(const nlohmann::json& rows);

} // namespace pellora::cli
