#include "stores/fuzz_bodies.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  pellora::fuzz::RunRowCache(data, size);
  return 0;
}
