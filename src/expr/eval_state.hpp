// What evaluating an expression reads and changes: the 26 variable slots,
// the random generator's seed and the clock behind TIME and RANDOMIZE.
#pragma once

#include <cstdint>
#include <ctime>
#include <vector>

#include "values/number.hpp"

namespace ombrix {

inline constexpr int VARIABLE_SLOTS = 26;

struct EvalState {
  // The variables are the first 26 cells, an empty slot holding
  // ABSENT_NUMBER. A compiled program keeps its constants and temporaries
  // in the cells after them (see expr/code.hpp), so that one index into one
  // array reaches any operand; nothing else uses those.
  std::vector<Number> cells = std::vector<Number>(VARIABLE_SLOTS, ABSENT_NUMBER);
  uint64_t random_seed = 1;
  // The calendar clock; tests replace it to make TIME and RANDOMIZE repeatable.
  std::time_t (*clock)(std::time_t*) = std::time;
};

// The slot of a variable letter: (c - 65) mod 26 with a truncating remainder,
// so lower-case letters share the slots of the letters six places on
// ("a" is "G", "u" is "A").
constexpr int variable_slot_of_byte(unsigned char letter) {
  int slot = (letter - 65) % VARIABLE_SLOTS;
  return slot < 0 ? slot + VARIABLE_SLOTS : slot;  // only for bytes below 'A', which are never letters
}
// Every byte's slot, worked out once: the parser takes the slot of every
// variable it reads, and the remainder is a multiplication and half a
// dozen steps more.
struct VariableSlots {
  uint8_t of[256] = {};
  constexpr VariableSlots() {
    for (int c = 0; c < 256; ++c) of[c] = static_cast<uint8_t>(variable_slot_of_byte(static_cast<unsigned char>(c)));
  }
};
inline constexpr VariableSlots variable_slots{};
constexpr int variable_slot(char letter) { return variable_slots.of[static_cast<unsigned char>(letter)]; }

// Stores a value (the absent value empties the slot).
inline void variable_set(EvalState& state, char letter, Value value) {
  state.cells[static_cast<std::size_t>(variable_slot(letter))] = number_or_absent(value);
}
inline Value variable_get(const EvalState& state, char letter) {
  return value_of(state.cells[static_cast<std::size_t>(variable_slot(letter))]);
}
// Empties the 26 slots and drops the cells of a compiled program.
inline void variables_clear(EvalState& state) { state.cells.assign(VARIABLE_SLOTS, ABSENT_NUMBER); }

}  // namespace ombrix
