// Arbitrary bytes as the winmail.dat attachment of a message: the TNEF reader and the model's
// use of what it reads must never crash, hang or fail on content.
#include "mime/exercise_message.h"
#include "mime/transfer_encodings.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string base64;
  pellora::EncodeBase64Lines(std::string_view(reinterpret_cast<const char*>(data), size), base64);
  pellora::test::ExerciseMessage(
      "Subject: tnef\r\nContent-Type: multipart/mixed; boundary=\"b\"\r\n\r\n"
      "--b\r\nContent-Type: application/ms-tnef; name=\"winmail.dat\"\r\n"
      "Content-Transfer-Encoding: base64\r\n\r\n" + base64 + "--b--\r\n");
  return 0;
}
