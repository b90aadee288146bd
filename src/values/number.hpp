// Numbers: a 32-bit integer or a single-precision real, with the mixed
// arithmetic of the language and its printing.
#pragma once

#include <bit>
#include <cstdint>
#include <optional>
#include <string_view>

#include "lexer/scanner.hpp"

namespace ombrix {

enum NumberTag : int32_t { NUMBER_INTEGER = 0, NUMBER_REAL = 1 };

struct Number {
  NumberTag tag;
  uint32_t payload;  // the integer's two's-complement bits, or the real's IEEE bits

  int32_t integer() const { return static_cast<int32_t>(payload); }
  float real() const { return std::bit_cast<float>(payload); }
  bool is_integer() const { return tag == NUMBER_INTEGER; }
};

// A value where one may be missing: the value of an unset variable. It passes
// through every operation and prints nothing.
using Value = std::optional<Number>;

inline constexpr int32_t INT32_LOWEST = INT32_MIN;

inline Number number_from_int(int32_t value) { return {NUMBER_INTEGER, static_cast<uint32_t>(value)}; }
inline Number number_from_float(float value) { return {NUMBER_REAL, std::bit_cast<uint32_t>(value)}; }

// The text of a TOK_NUMBER token: plain digits are an integer, anything else
// a real.
Number number_from_text(std::string_view text);
// Reads one token; a TOK_NUMBER becomes a Number, anything else is given back.
std::optional<Number> number_parse(Scanner& scanner);

// Truncates a real toward zero; NaN, infinities and reals outside the 32-bit
// range give the lowest integer.
int32_t number_to_int(Number n);
// An integer becomes the nearest single-precision value.
inline float number_to_real(Number n) { return n.is_integer() ? static_cast<float>(n.integer()) : n.real(); }

// Integer +, - and * wrap in 32-bit two's complement (computed unsigned);
// any real operand makes the operation single precision. These three are
// inline: they run on every loop step.
inline Value number_add(Value a, Value b) {
  if (!a || !b) return std::nullopt;
  if (a->is_integer() && b->is_integer()) return number_from_int(static_cast<int32_t>(a->payload + b->payload));
  return number_from_float(number_to_real(*a) + number_to_real(*b));
}
inline Value number_sub(Value a, Value b) {
  if (!a || !b) return std::nullopt;
  if (a->is_integer() && b->is_integer()) return number_from_int(static_cast<int32_t>(a->payload - b->payload));
  return number_from_float(number_to_real(*a) - number_to_real(*b));
}
inline Value number_mul(Value a, Value b) {
  if (!a || !b) return std::nullopt;
  if (a->is_integer() && b->is_integer()) return number_from_int(static_cast<int32_t>(a->payload * b->payload));
  return number_from_float(number_to_real(*a) * number_to_real(*b));
}
Value number_div(Value a, Value b);
Value number_idiv(Value a, Value b);
Value number_mod(Value a, Value b);
Value number_pow(Value a, Value b);

// "%d" for an integer, "%f" for a real, nothing for the absent value.
void number_print(Value n);

}  // namespace ombrix
