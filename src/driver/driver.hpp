// The interpreter's outer control: options, start-up, the read loop and
// shut-down.
#pragma once

namespace ombrix {

// Runs the whole interpreter on the command line; returns the exit status.
int run_driver(int argc, char* argv[]);

}  // namespace ombrix
