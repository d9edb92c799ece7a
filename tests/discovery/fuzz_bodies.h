#pragma once
// What each discovery fuzz target does with one input; the tests replay kept inputs through the
// same functions.
#include <cstddef>
#include <cstdint>

namespace pellora::fuzz {

// The bytes as a prefs.js, looked up as Thunderbird discovery does.
void RunPrefsJS(const uint8_t* data, size_t size);
// The bytes as a Wine user.reg and system.reg, walked and read as discovery does.
void RunWineRegistry(const uint8_t* data, size_t size);
// The bytes as NTUSER.DAT and SOFTWARE hive files read through libhivex, with the base block's
// checksum set to agree.
void RunHive(const uint8_t* data, size_t size);

} // namespace pellora::fuzz
