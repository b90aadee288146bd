#include "values/number.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "capture.hpp"
#include "helpers.hpp"

namespace ombrix {
namespace {

using Operation = Value (*)(Value, Value);

struct ArithmeticCase {
  const char* what;
  Operation operation;
  Value a;
  Value b;
  Value expected;
};

void check_arithmetic(const std::vector<ArithmeticCase>& cases) {
  for (const ArithmeticCase& c : cases) {
    EXPECT_TRUE(same_value(c.operation(c.a, c.b), c.expected)) << c.what;
  }
}

TEST(NumberArithmeticTest, Add) {
  check_arithmetic({
      {"int 2 + int 3", number_add, I(2), I(3), I(5)},
      {"int 2147483647 + int 1 wraps", number_add, I(INT32_MAX), I(1), I(INT32_MIN)},
      {"int -2147483648 + int -1 wraps", number_add, I(INT32_MIN), I(-1), I(INT32_MAX)},
      {"int 1 + real 0.5", number_add, I(1), R(0.5f), R(1.5f)},
      {"int 2^24+1 + real 0 rounds the integer first", number_add, I(16777217), R(0.0f), R(16777216.0f)},
      {"real 0.5 + int 1", number_add, R(0.5f), I(1), R(1.5f)},
      {"real -0 + int 0 is +0", number_add, R(-0.0f), I(0), R(0.0f)},
      {"real 0 + int 2^24+3 rounds to even", number_add, R(0.0f), I(16777219), R(16777220.0f)},
      {"real 0.1 + real 0.2 in single precision", number_add, R(0.1f), R(0.2f), R(0.3f)},
      {"real 2^24 + real 1 in single precision", number_add, R(16777216.0f), R(1.0f), R(16777216.0f)},
      {"real -0 + real -0 stays -0", number_add, R(-0.0f), R(-0.0f), R(-0.0f)},
  });
}

TEST(NumberArithmeticTest, Subtract) {
  check_arithmetic({
      {"int -7 - int 2", number_sub, I(-7), I(2), I(-9)},
      {"int -2147483648 - int 1 wraps", number_sub, I(INT32_MIN), I(1), I(INT32_MAX)},
      {"int 0 - int -2147483648 wraps", number_sub, I(0), I(INT32_MIN), I(INT32_MIN)},
      {"int 1 - real 0.5", number_sub, I(1), R(0.5f), R(0.5f)},
      {"real 2.5 - int 1", number_sub, R(2.5f), I(1), R(1.5f)},
      {"real 0 - real 0 is +0", number_sub, R(0.0f), R(0.0f), R(0.0f)},
      {"real 1 - real 0.75", number_sub, R(1.0f), R(0.75f), R(0.25f)},
  });
}

TEST(NumberArithmeticTest, Multiply) {
  check_arithmetic({
      {"int 6 * int 7", number_mul, I(6), I(7), I(42)},
      {"int 65536 * int 65536 wraps to 0", number_mul, I(65536), I(65536), I(0)},
      {"int 46341 * int 46341 wraps", number_mul, I(46341), I(46341), I(-2147479015)},
      {"int -1 * int -2147483648 wraps", number_mul, I(-1), I(INT32_MIN), I(INT32_MIN)},
      {"int 3 * real 0.5", number_mul, I(3), R(0.5f), R(1.5f)},
      {"real 2.5 * int 1 stays real", number_mul, R(2.5f), I(1), R(2.5f)},
      {"real 1.5 * real 1.5", number_mul, R(1.5f), R(1.5f), R(2.25f)},
      {"int -1 * real 0 is -0", number_mul, I(-1), R(0.0f), R(-0.0f)},
  });
}

TEST(NumberArithmeticTest, Divide) {
  check_arithmetic({
      {"int -7 / int 2 truncates toward zero", number_div, I(-7), I(2), I(-3)},
      {"int 7 / int 2", number_div, I(7), I(2), I(3)},
      {"int 7 / int -2", number_div, I(7), I(-2), I(-3)},
      {"int 1 / int 3", number_div, I(1), I(3), I(0)},
      {"int 1 / int 0 is +inf", number_div, I(1), I(0), R(INF)},
      {"int -1 / int 0 is -inf", number_div, I(-1), I(0), R(-INF)},
      {"int 0 / int 0 is NaN", number_div, I(0), I(0), R(runtime_float(0.0f) / runtime_float(0.0f))},
      {"int -2147483648 / int -1 is real 2^31", number_div, I(INT32_MIN), I(-1), R(2147483648.0f)},
      {"int -2147483648 / int 1", number_div, I(INT32_MIN), I(1), I(INT32_MIN)},
      {"int 7 / real 2", number_div, I(7), R(2.0f), R(3.5f)},
      {"int 1 / real 0 is +inf", number_div, I(1), R(0.0f), R(INF)},
      {"real 7.5 / int 2", number_div, R(7.5f), I(2), R(3.75f)},
      {"real 1 / real 3 in single precision", number_div, R(1.0f), R(3.0f), R(0x1.555556p-2f)},
      {"real -1 / real 0 is -inf", number_div, R(-1.0f), R(0.0f), R(-INF)},
  });
}

TEST(NumberArithmeticTest, IntegerDivide) {
  check_arithmetic({
      {"int 7 \\ int 2", number_idiv, I(7), I(2), I(3)},
      {"int -7 \\ int 2", number_idiv, I(-7), I(2), I(-3)},
      {"int 7 \\ int -2", number_idiv, I(7), I(-2), I(-3)},
      {"real 7.9 \\ real 2.5 truncates both first", number_idiv, R(7.9f), R(2.5f), I(3)},
      {"real -7.9 \\ int 2", number_idiv, R(-7.9f), I(2), I(-3)},
      {"int 7 \\ real 2.9", number_idiv, I(7), R(2.9f), I(3)},
      {"real 3e9 \\ int 1: 3e9 has no integer", number_idiv, R(3e9f), I(1), I(INT32_MIN)},
      {"real NaN \\ int 2: NaN reads as -2^31", number_idiv, R(std::nanf("")), I(2), I(-1073741824)},
      {"int 5 \\ int 0", number_idiv, I(5), I(0), I(INT32_MIN)},
      {"int 5 \\ real 0.5, which truncates to 0", number_idiv, I(5), R(0.5f), I(INT32_MIN)},
      {"int -2147483648 \\ int -1", number_idiv, I(INT32_MIN), I(-1), I(INT32_MIN)},
      {"real -2147483648 \\ real -1", number_idiv, R(-2147483648.0f), R(-1.0f), I(INT32_MIN)},
      {"int -2147483648 \\ int 2", number_idiv, I(INT32_MIN), I(2), I(-1073741824)},
  });
}

TEST(NumberArithmeticTest, Modulo) {
  check_arithmetic({
      {"int -7 MOD int 2 takes the dividend's sign", number_mod, I(-7), I(2), I(-1)},
      {"int 7 MOD int -2", number_mod, I(7), I(-2), I(1)},
      {"int 7 MOD int 3", number_mod, I(7), I(3), I(1)},
      {"int 5 MOD int 0 is a real NaN", number_mod, I(5), I(0),
       R(static_cast<float>(std::fmod(runtime_double(5.0), runtime_double(0.0))))},
      {"int -2147483648 MOD int -1", number_mod, I(INT32_MIN), I(-1), I(0)},
      {"int 7 MOD int -1", number_mod, I(7), I(-1), I(0)},
      {"real 7.5 MOD int 2", number_mod, R(7.5f), I(2), R(1.5f)},
      {"real -7.5 MOD real 2", number_mod, R(-7.5f), R(2.0f), R(-1.5f)},
      {"int 7 MOD real 2.5", number_mod, I(7), R(2.5f), R(2.0f)},
      // The integer is widened exactly to double, not rounded to single first.
      {"int 2^24+1 MOD real 2", number_mod, I(16777217), R(2.0f), R(1.0f)},
      {"real 1.5 MOD int 0 is NaN", number_mod, R(1.5f), I(0),
       R(static_cast<float>(std::fmod(runtime_double(1.5), runtime_double(0.0))))},
  });
}

TEST(NumberArithmeticTest, Power) {
  check_arithmetic({
      {"int 2 ^ int 10", number_pow, I(2), I(10), I(1024)},
      {"int 2 ^ int -1 truncates 0.5", number_pow, I(2), I(-1), I(0)},
      {"int -2 ^ int -1 truncates -0.5", number_pow, I(-2), I(-1), I(0)},
      {"int -2 ^ int 3", number_pow, I(-2), I(3), I(-8)},
      {"int 1 ^ int -5", number_pow, I(1), I(-5), I(1)},
      {"int 0 ^ int 0", number_pow, I(0), I(0), I(1)},
      {"int 2 ^ int 31 does not fit", number_pow, I(2), I(31), I(INT32_MIN)},
      {"int -2 ^ int 31 is exactly -2^31", number_pow, I(-2), I(31), I(INT32_MIN)},
      {"int 2 ^ int 30", number_pow, I(2), I(30), I(1073741824)},
      {"int 46341 ^ int 2 does not fit (no wrap)", number_pow, I(46341), I(2), I(INT32_MIN)},
      {"int 0 ^ int -1 is infinite", number_pow, I(0), I(-1), I(INT32_MIN)},
      {"int 2 ^ real 0.5", number_pow, I(2), R(0.5f), R(1.41421356237309515f)},
      {"int 4 ^ real 0.5", number_pow, I(4), R(0.5f), R(2.0f)},
      {"real 2.5 ^ int 2", number_pow, R(2.5f), I(2), R(6.25f)},
      {"real 2 ^ real -1", number_pow, R(2.0f), R(-1.0f), R(0.5f)},
      {"real 0 ^ int -1 is +inf", number_pow, R(0.0f), I(-1), R(INF)},
  });
}

TEST(NumberArithmeticTest, AbsentOperandGivesAbsent) {
  const Operation operations[] = {number_add, number_sub, number_mul, number_div, number_idiv, number_mod, number_pow};
  const char* names[] = {"add", "sub", "mul", "div", "idiv", "mod", "pow"};
  for (std::size_t i = 0; i < 7; ++i) {
    for (Value present : {Value(I(0)), Value(I(3)), Value(R(2.5f))}) {
      EXPECT_TRUE(same_value(operations[i](ABSENT, present), ABSENT)) << names[i] << " absent, " << describe(present);
      EXPECT_TRUE(same_value(operations[i](present, ABSENT), ABSENT))
          << names[i] << " " << describe(present) << ", absent";
    }
    EXPECT_TRUE(same_value(operations[i](ABSENT, ABSENT), ABSENT)) << names[i] << " absent, absent";
  }
}

TEST(NumberConversionTest, ToInt) {
  struct Case {
    Number n;
    int32_t expected;
  };
  const std::vector<Case> cases = {
      {I(5), 5},
      {I(INT32_MIN), INT32_MIN},
      {I(INT32_MAX), INT32_MAX},
      {R(2.7f), 2},
      {R(-2.7f), -2},
      {R(-0.5f), 0},
      {R(-0.0f), 0},
      {R(2147483520.0f), 2147483520},  // the largest real below 2^31
      {R(-2147483520.0f), -2147483520},
      {R(-2147483648.0f), INT32_MIN},  // exactly representable
      {R(2147483648.0f), INT32_MIN},
      {R(3e9f), INT32_MIN},
      {R(-3e9f), INT32_MIN},
      {R(1e30f), INT32_MIN},
      {R(INF), INT32_MIN},
      {R(-INF), INT32_MIN},
      {R(std::nanf("")), INT32_MIN},
      {R(-std::nanf("")), INT32_MIN},
  };
  for (const Case& c : cases) EXPECT_EQ(number_to_int(c.n), c.expected) << describe(c.n);
}

TEST(NumberConversionTest, ToReal) {
  struct Case {
    Number n;
    float expected;
  };
  const std::vector<Case> cases = {
      {I(-7), -7.0f},
      {I(16777216), 16777216.0f},
      {I(16777217), 16777216.0f},  // a tie: to even
      {I(16777219), 16777220.0f},  // a tie: to even
      {I(16777221), 16777220.0f},
      {I(INT32_MAX), 2147483648.0f},
      {I(INT32_MIN), -2147483648.0f},
      {R(2.5f), 2.5f},
      {R(-0.0f), -0.0f},
  };
  for (const Case& c : cases) {
    const float got = number_to_real(c.n);
    EXPECT_EQ(std::bit_cast<uint32_t>(got), std::bit_cast<uint32_t>(c.expected)) << describe(c.n) << " gave " << got;
  }
  EXPECT_TRUE(std::isnan(number_to_real(R(std::nanf("")))));
}

TEST(NumberLiteralTest, FromText) {
  struct Case {
    const char* text;
    Number expected;
  };
  const std::vector<Case> cases = {
      {"10", I(10)},
      {"10.0", R(10.0f)},
      {"0", I(0)},
      {"007", I(7)},
      {"00000000000042", I(42)},
      {"12", I(12)},
      {"12.", R(12.0f)},
      {".5", R(0.5f)},
      {".", R(0.0f)},
      {"1E3", R(1000.0f)},
      {"2e-3", R(static_cast<float>(0.002))},
      {"1.5e+2", R(150.0f)},
      {"0.1", R(static_cast<float>(0.1))},
      {"16777217.0", R(16777216.0f)},
      // Through double: the text lies just above the midpoint between two
      // singles, but its double is the midpoint itself, which rounds to even.
      {"1.00000005960464477539062500000001", R(1.0f)},
      {"2147483647", I(INT32_MAX)},
      {"2147483648", R(2147483648.0f)},
      {"3000000000", R(3000000000.0f)},
      {"4294967297", R(4294967296.0f)},
      {"99999999999", R(static_cast<float>(99999999999.0))},
      // Too large for an integer: the single nearest to the digits' value,
      // 2^60 + 2^36 + 1, which lies above the midpoint 2^60 + 2^36.
      {"1152921573326323713", R(0x1.000002p60f)},
  };
  for (const Case& c : cases) EXPECT_TRUE(same_value(number_from_text(c.text), c.expected)) << c.text;
}

TEST(NumberLiteralTest, ParseTakesOnlyANumberToken) {
  Scanner number("12 X");
  EXPECT_TRUE(same_value(number_parse(number), I(12)));
  scan_next(number);
  EXPECT_EQ(number.kind, TOK_VARIABLE);

  Scanner sign("-5");
  EXPECT_FALSE(number_parse(sign).has_value());
  scan_next(sign);
  EXPECT_EQ(sign.kind, TOK_MINUS);  // given back
}

TEST(NumberPrintTest, Formats) {
  struct Case {
    Value n;
    const char* expected;
  };
  const std::vector<Case> cases = {
      {I(42), "42"},
      {I(-7), "-7"},
      {I(0), "0"},
      {I(INT32_MIN), "-2147483648"},
      {R(0.1f), "0.100000"},
      {R(1000.0f), "1000.000000"},
      {R(-2.5f), "-2.500000"},
      {R(3e9f), "3000000000.000000"},
      {R(1e-7f), "0.000000"},
      {R(-0.0f), "-0.000000"},
      {R(1.41421356f), "1.414214"},
      {ABSENT, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(testing::capture_stdout([&] { number_print(c.n); }), c.expected) << describe(c.n);
  }
}

}  // namespace
}  // namespace ombrix
