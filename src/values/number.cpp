#include "values/number.hpp"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace ombrix {

Number number_from_text(std::string_view text) {
  // The scanner converts plain numbers of up to nine digits as it reads
  // them (number_of_token), so what comes here is mostly longer or a real.
  // Plain digits are an integer when the value fits; the accumulation stops
  // growing once it is known not to (leading zeros add nothing).
  bool digits_only = !text.empty();
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') {
      digits_only = false;
      break;
    }
    if (value <= INT32_MAX) value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  if (digits_only && value <= INT32_MAX) return number_from_int(static_cast<int32_t>(value));
  const std::string copy(text);
  // Too large for an integer: the nearest single-precision value.
  if (digits_only) return number_from_float(std::strtof(copy.c_str(), nullptr));
  return number_from_float(static_cast<float>(std::atof(copy.c_str())));
}

std::optional<Number> number_parse(Scanner& scanner) {
  scan_next(scanner);
  if (scanner.kind != TOK_NUMBER) {
    scan_unget(scanner);
    return std::nullopt;
  }
  return number_of_token(scanner);
}

int32_t number_to_int(Number n) {
  if (n.is_integer()) return n.integer();
  const float f = n.real();
  // NaN fails both comparisons; the bounds are exact in single precision.
  if (!(f >= -2147483648.0f && f < 2147483648.0f)) return INT32_LOWEST;
  return static_cast<int32_t>(f);
}

namespace {

double widen(Number n) { return n.is_integer() ? static_cast<double>(n.integer()) : static_cast<double>(n.real()); }

Number narrow(double d) { return number_from_float(static_cast<float>(d)); }

}  // namespace

Number number_div_integers(Number a, Number b) {
  const int32_t x = a.integer();
  const int32_t y = b.integer();
  // No 32-bit quotient: divide as reals instead (an infinity, a NaN, or 2^31).
  if (y == 0 || (x == INT32_LOWEST && y == -1)) return number_from_float(static_cast<float>(x) / static_cast<float>(y));
  return number_from_int(x / y);
}

Number number_idiv(Number a, Number b) {
  const int32_t x = number_to_int(a);
  const int32_t y = number_to_int(b);
  // Like every other integer result that does not exist, these give -2^31.
  if (y == 0 || (x == INT32_LOWEST && y == -1)) return number_from_int(INT32_LOWEST);
  return number_from_int(x / y);
}

Number number_mod(Number a, Number b) {
  if (a.is_integer() && b.is_integer()) {
    const int32_t x = a.integer();
    const int32_t y = b.integer();
    if (y == 0) return narrow(std::fmod(static_cast<double>(x), static_cast<double>(y)));
    if (y == -1) return number_from_int(0);  // also for -2^31, whose quotient does not fit
    return number_from_int(x % y);
  }
  if (!a.is_integer() && !b.is_integer()) return number_from_float(std::fmod(a.real(), b.real()));
  return narrow(std::fmod(widen(a), widen(b)));
}

Number number_pow(Number a, Number b) {
  const double p = std::pow(widen(a), widen(b));
  if (a.is_integer() && b.is_integer()) {
    if (!(p > -2147483649.0 && p < 2147483648.0)) return number_from_int(INT32_LOWEST);
    return number_from_int(static_cast<int32_t>(p));
  }
  return narrow(p);
}

void number_print(Value n, std::FILE* out) {
  if (!n) return;
  if (n->is_integer()) {
    std::fprintf(out, "%d", n->integer());
  } else {
    std::fprintf(out, "%f", static_cast<double>(n->real()));
  }
}

}  // namespace ombrix
