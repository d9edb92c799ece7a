#pragma once
// The files that fuzz targets hand to readers that want a path.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace pellora::fuzz {

// A private folder, removed with everything in it when the process ends; memory-backed when
// possible, since rewriting a file on disk for every input waits for the disk.
inline const std::string& ScratchFolder() {
  static const struct TScratch {
    std::string path;
    TScratch() {
      path = access("/dev/shm", W_OK) == 0 ? "/dev/shm/pellora-fuzz-XXXXXX"
                                           : "/tmp/pellora-fuzz-XXXXXX";
      if (!mkdtemp(path.data())) std::abort();
      // The stores read the files themselves: no row cache, and never the user's.
      setenv("PELLORA_CACHE_DIR", "", 1);
    }
    ~TScratch() {
      std::error_code ec;
      std::filesystem::remove_all(path, ec);
    }
  } scratch;
  return scratch.path;
}

// Writes bytes to a new file of the scratch folder and returns its path.
inline std::string WriteScratch(const std::string& name, std::string_view bytes) {
  std::string path = ScratchFolder() + "/" + name;
  std::remove(path.c_str()); // a new file: truncating one on disk forces a flush
  std::ofstream(path, std::ios::binary)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return path;
}

} // namespace pellora::fuzz
