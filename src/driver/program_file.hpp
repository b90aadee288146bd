// Program files: what may stand at a file's start, and writing a program into
// a file so that no failure leaves a half-written file in its place.
#pragma once

#include <cstdio>

#include "program/program.hpp"

namespace ombrix {

// The text of a file's first line with what only a file's start may carry
// removed: a UTF-8 byte order mark, and then the whole line when it starts
// with "#!" (an executable script names its interpreter there). The result
// points into `text`; it is empty for a "#!" line.
const char* program_file_first_line(const char* text);

// Writes the listing of `program` (exactly what LIST prints) into the file
// `name`: into a new file in the same folder first, synced, then renamed over
// the old one, so that the file holds either its old text or the whole new
// listing, whatever fails. A name that is a symbolic link replaces the file
// the link leads to and keeps the link. A file replaced keeps its mode; a new
// one gets 0666 less the umask. Returns nullptr on success, else the reason
// (the system's text): a failure before the rename leaves the old file
// untouched and no temporary file behind; one in syncing the folder after
// the rename means that the new file may not survive a crash.
const char* program_file_save(const Program& program, const char* name);

}  // namespace ombrix
