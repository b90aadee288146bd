// RENUM: the stored lines get the numbers 10, 20, 30 ..., and the jumps
// written as plain line numbers follow their lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "program/statement.hpp"

namespace ombrix {

// The new number of the line at this position in list order.
inline int32_t renumbered_line(std::size_t position) { return static_cast<int32_t>(10 * (position + 1)); }

// The map from each stored line's number to its new one, all at once: a
// target is looked up by its old number only, never by a number that
// another line has just been given.
class LineRenumbering {
 public:
  // The stored numbers, ascending.
  explicit LineRenumbering(std::vector<int32_t> old_numbers) : old_numbers_(std::move(old_numbers)) {}
  // The new number of the line stored as `old`; nothing when no line is.
  std::optional<int32_t> new_number(int32_t old) const;

 private:
  std::vector<int32_t> old_numbers_;
};

// Points the GOTO or GOSUB that the statement holds, alone or after any
// number of THENs, at its target's new number. A target that is anything but
// a plain integer literal naming a stored line is left as it is, and
// "WARNING: GOTO IN LINE n NOT RENUMBERED" (or GOSUB) goes to standard
// error, n being `line`, the statement's own new number.
void jump_target_renumber(Statement& statement, int32_t line, const LineRenumbering& renumbering);

}  // namespace ombrix
