// Arbitrary bytes as a message: the model must never crash, hang or fail on content.
#include "mime/exercise_message.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  pellora::test::ExerciseMessage(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
