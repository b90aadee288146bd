// Helpers shared by the fuzz targets: where the interpreter's output goes
// while a target runs.
#pragma once

#include <string>

namespace ombrix::fuzz {

// Points standard output at /dev/null for the rest of the process: the
// targets print a lot, and nothing reads it.
void discard_stdout();

// Points standard output at an in-memory file, so that what a call prints
// can be read back with take_captured_stdout.
void capture_stdout();
// Everything printed since the last call (or since capture_stdout), and
// empties the capture.
std::string take_captured_stdout();

}  // namespace ombrix::fuzz
