// Numbers: a 32-bit integer or a single-precision real, with the mixed
// arithmetic of the language and its printing.
#pragma once

#include <bit>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string_view>

#include "lexer/scanner.hpp"

namespace ombrix {

// NUMBER_ABSENT marks the absent value where it must fit in the same word
// as a Number: in a variable slot and in the cells of compiled code, where
// one compare of the tag then tells an integer from anything else. No
// operation on Numbers below ever receives it.
enum NumberTag : int32_t { NUMBER_INTEGER = 0, NUMBER_REAL = 1, NUMBER_ABSENT = 2 };

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

// Built as one 64-bit word: a Number made field by field is stored in two
// halves and then read whole, which stalls the processor's store forwarding
// on every value an evaluation returns.
inline Number number_make(NumberTag tag, uint32_t payload) {
  return std::bit_cast<Number>(static_cast<uint64_t>(payload) << 32 | static_cast<uint32_t>(tag));
}
inline Number number_from_int(int32_t value) { return number_make(NUMBER_INTEGER, static_cast<uint32_t>(value)); }
inline Number number_from_float(float value) { return number_make(NUMBER_REAL, std::bit_cast<uint32_t>(value)); }

// The absent value in one word, and the conversions between the two forms.
inline constexpr Number ABSENT_NUMBER{NUMBER_ABSENT, 0};
inline bool is_absent(Number n) { return n.tag == NUMBER_ABSENT; }
inline Value value_of(Number n) { return is_absent(n) ? Value() : Value(n); }
inline Number number_or_absent(Value v) { return v ? *v : ABSENT_NUMBER; }

// The text of a TOK_NUMBER token: plain digits are an integer, anything else
// a real.
Number number_from_text(std::string_view text);
// The value of the scanner's current token, a TOK_NUMBER: the scanner has
// converted the common plain digits already.
inline Number number_of_token(const Scanner& scanner) {
  if (scanner.token == scanner.digits_at) return number_from_int(static_cast<int32_t>(scanner.digits_value));
  return number_from_text(scanner.text());
}
// Reads one token; a TOK_NUMBER becomes a Number, anything else is given back.
std::optional<Number> number_parse(Scanner& scanner);

// Truncates a real toward zero; NaN, infinities and reals outside the 32-bit
// range give the lowest integer.
int32_t number_to_int(Number n);
// An integer becomes the nearest single-precision value.
inline float number_to_real(Number n) { return n.is_integer() ? static_cast<float>(n.integer()) : n.real(); }

// The result of a real operation "a op b". Where an operand is a NaN, the
// result is the left operand if it is a NaN, else the right one: the order
// in which the processor propagates NaNs for "a op b", fixed here so that it
// does not depend on how the compiler happens to order the operands.
inline float real_result(float result, float a, float b) {
  if (result == result) return result;
  if (a != a) return a;
  if (b != b) return b;
  return result;  // a NaN the operation made itself, such as inf - inf
}

// The seven operations on two present numbers, by the mixed table: integer
// +, - and * wrap in 32-bit two's complement (computed unsigned); any real
// operand makes the operation single precision. +, - and * and a real
// division are inline: they run on every loop step.
inline Number number_add(Number a, Number b) {
  if (a.is_integer() && b.is_integer()) return number_from_int(static_cast<int32_t>(a.payload + b.payload));
  const float x = number_to_real(a);
  const float y = number_to_real(b);
  return number_from_float(real_result(x + y, x, y));
}
inline Number number_sub(Number a, Number b) {
  if (a.is_integer() && b.is_integer()) return number_from_int(static_cast<int32_t>(a.payload - b.payload));
  const float x = number_to_real(a);
  const float y = number_to_real(b);
  return number_from_float(real_result(x - y, x, y));
}
inline Number number_mul(Number a, Number b) {
  if (a.is_integer() && b.is_integer()) return number_from_int(static_cast<int32_t>(a.payload * b.payload));
  const float x = number_to_real(a);
  const float y = number_to_real(b);
  return number_from_float(real_result(x * y, x, y));
}
// Integer division, where the quotient may not fit (by 0, or -2^31 by -1).
Number number_div_integers(Number a, Number b);
inline Number number_div(Number a, Number b) {
  if (a.is_integer() && b.is_integer()) return number_div_integers(a, b);
  const float x = number_to_real(a);
  const float y = number_to_real(b);
  return number_from_float(real_result(x / y, x, y));
}
Number number_idiv(Number a, Number b);
Number number_mod(Number a, Number b);
Number number_pow(Number a, Number b);

// The same operations where either operand may be absent: then so is the result.
inline Value number_add(Value a, Value b) { return a && b ? Value(number_add(*a, *b)) : std::nullopt; }
inline Value number_sub(Value a, Value b) { return a && b ? Value(number_sub(*a, *b)) : std::nullopt; }
inline Value number_mul(Value a, Value b) { return a && b ? Value(number_mul(*a, *b)) : std::nullopt; }
inline Value number_div(Value a, Value b) { return a && b ? Value(number_div(*a, *b)) : std::nullopt; }
inline Value number_idiv(Value a, Value b) { return a && b ? Value(number_idiv(*a, *b)) : std::nullopt; }
inline Value number_mod(Value a, Value b) { return a && b ? Value(number_mod(*a, *b)) : std::nullopt; }
inline Value number_pow(Value a, Value b) { return a && b ? Value(number_pow(*a, *b)) : std::nullopt; }

// "%d" for an integer, "%f" for a real, nothing for the absent value.
void number_print(Value n, std::FILE* out = stdout);

}  // namespace ombrix
