// The ways the process ends on a fatal error: always with status 1.
#pragma once

namespace ombrix {

// perror(label), then exit with status 1.
[[noreturn]] void fatal_perror(const char* label);
// Exit with status 1 without a message (a byte buffer found broken).
[[noreturn]] void fatal_silent();
// Makes a failed allocation anywhere end the process through perror("malloc").
void install_out_of_memory_handler();

}  // namespace ombrix
