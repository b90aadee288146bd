// Helpers the unit tests share: short constructors for numbers, a readable
// description, two ways to compare values, and what a scanner has left.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "values/number.hpp"

namespace ombrix {

inline constexpr float INF = std::numeric_limits<float>::infinity();

inline Number I(int32_t value) { return number_from_int(value); }
inline Number R(float value) { return number_from_float(value); }
inline const Value ABSENT = std::nullopt;

// Values that pass through volatile storage, so that an IEEE operation or a
// library call on them runs on this machine at run time, not in the
// compiler: the sign of a NaN it yields is then the platform's.
inline float runtime_float(float value) {
  volatile float stored = value;
  return stored;
}
inline double runtime_double(double value) {
  volatile double stored = value;
  return stored;
}

inline std::string describe(Value v) {
  if (!v) return "absent";
  char text[80];
  if (v->tag == NUMBER_INTEGER) {
    std::snprintf(text, sizeof text, "integer %d", v->integer());
  } else if (v->tag == NUMBER_REAL) {
    std::snprintf(text, sizeof text, "real %a (bits %08x)", static_cast<double>(v->real()), v->payload);
  } else {
    std::snprintf(text, sizeof text, "tag %d payload %08x", static_cast<int>(v->tag), v->payload);
  }
  return text;
}

// Same tag and payload bits, except that a NaN matches any NaN of the same
// sign (which NaN payload an operation yields is the platform's).
inline ::testing::AssertionResult same_value(Value actual, Value expected) {
  bool same = actual.has_value() == expected.has_value();
  if (same && actual) {
    same = actual->tag == expected->tag;
    if (same && expected->tag == NUMBER_REAL && std::isnan(expected->real())) {
      same = std::isnan(actual->real()) && std::signbit(actual->real()) == std::signbit(expected->real());
    } else if (same) {
      same = actual->payload == expected->payload;
    }
  }
  if (same) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "got " << describe(actual) << ", expected " << describe(expected);
}

// Same tag and exactly the same payload bits (so +0 and -0 differ), or both absent.
inline ::testing::AssertionResult same_bits(Value actual, Value expected) {
  const bool same = actual.has_value() == expected.has_value() &&
                    (!actual || (actual->tag == expected->tag && actual->payload == expected->payload));
  if (same) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "got " << describe(actual) << ", expected " << describe(expected);
}

// The kinds of the tokens a scanner has not read yet, up to the end of the line.
inline std::vector<TokenKind> rest_of(Scanner& scanner) {
  std::vector<TokenKind> kinds;
  do {
    scan_next(scanner);
    kinds.push_back(scanner.kind);
  } while (scanner.kind != TOK_EOL && scanner.kind != TOK_INVALID);
  return kinds;
}

}  // namespace ombrix
