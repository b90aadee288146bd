// The fast paths (shape-specialised expression evaluation and the integer
// step of NEXT) must give exactly what the plain rules give.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "expr/expression.hpp"
#include "helpers.hpp"
#include "program/interpreter.hpp"
#include "program/loop.hpp"

namespace ombrix {
namespace {

const std::vector<Value> interesting_values = {
    std::nullopt,
    number_from_int(0),
    number_from_int(1),
    number_from_int(-1),
    number_from_int(7),
    number_from_int(-7),
    number_from_int(INT32_MAX),
    number_from_int(INT32_MIN),
    number_from_int(16777217),
    number_from_float(0.0f),
    number_from_float(-0.0f),
    number_from_float(2.5f),
    number_from_float(-7.5f),
    number_from_float(1e30f),
    number_from_float(INFINITY),
    number_from_float(-INFINITY),
    number_from_float(std::nanf("")),
    number_from_float(-std::nanf("")),
    number_from_float(3e9f),
};

TEST(FastPathTest, ShapedExpressionsMatchTheTreeWalk) {
  const std::vector<std::string> operands = {"A", "B", "C", "a", "0", "1", "7", "2.5", "0.0", "3000000000"};
  const std::vector<std::string> signs = {"", "+", "-"};
  const std::vector<std::string> mulops = {" * ", " / ", " \\ ", " MOD ", "^"};
  std::vector<std::string> texts;
  for (const std::string& s1 : signs) {
    for (const std::string& a : operands) {
      texts.push_back(s1 + a);
      for (const std::string& s2 : {std::string("+"), std::string("-")}) {
        for (const std::string& b : operands) texts.push_back(s1 + a + s2 + b);
      }
      for (const std::string& op : mulops) {
        for (const std::string& b : operands) texts.push_back(s1 + a + op + b);
      }
    }
  }
  // Nested expressions go through the flattened form: random ones, built
  // from every construct, with operands that include NaNs of both signs.
  std::mt19937 shapes(77);
  const std::vector<std::string> functions = {"SIN", "COS", "TAN", "COT", "ATN", "EXP",
                                              "LOG", "ABS", "SGN", "SQR", "INT"};
  std::function<std::string(int)> random_expression = [&](int depth) -> std::string {
    auto primary = [&]() -> std::string {
      const unsigned choice = shapes() % (depth > 0 ? 5 : 2);
      if (choice == 0) return operands[shapes() % operands.size()];
      if (choice == 1) return std::string(1, static_cast<char>('A' + shapes() % 3));
      std::string text;
      if (choice == 2) return text.append("(").append(random_expression(depth - 1)).append(")");
      if (choice == 3) {
        return text.append(functions[shapes() % functions.size()])
            .append("(")
            .append(random_expression(depth - 1))
            .append(")");
      }
      return "RND";
    };
    auto factor = [&]() { return shapes() % 4 == 0 ? primary() + "^" + primary() : primary(); };
    auto term = [&]() { return shapes() % 2 == 0 ? factor() + mulops[shapes() % 4] + factor() : factor(); };
    std::string text = signs[shapes() % 3] + term();
    if (shapes() % 2 == 0) {
      text += shapes() % 2 == 0 ? "+" : "-";
      text += term();
    }
    return text;
  };
  for (int i = 0; i < 3000; ++i) texts.push_back(random_expression(3));

  std::mt19937 random(2024);
  std::uniform_int_distribution<std::size_t> pick(0, interesting_values.size() - 1);
  int compared = 0;
  for (const std::string& text : texts) {
    Scanner fast_scanner(text.c_str());
    Scanner tree_scanner(text.c_str());
    std::unique_ptr<Expression> fast = expression_parse(fast_scanner);
    std::unique_ptr<Expression> tree = expression_parse_tree(tree_scanner);
    ASSERT_TRUE(fast && tree) << text;
    ASSERT_EQ(tree->fast.shape, FastShape::none);
    for (int round = 0; round < 40; ++round) {
      EvalState state;
      for (Value& slot : state.variables) slot = interesting_values[pick(random)];
      EvalState copy = state;
      EvalState into_state = state;
      const Value expected = expression_eval_general(*tree, copy);
      const Value actual = expression_eval(*fast, state);
      ASSERT_TRUE(same_bits(actual, expected))
          << text << " with A=" << describe(state.variables[0]) << " B=" << describe(state.variables[1]);
      // LET's path stores the value straight into its variable.
      Value stored = number_from_int(12345);
      expression_eval_into(*fast, into_state, stored);
      ASSERT_TRUE(same_bits(stored, expected)) << "stored: " << text;
      ++compared;
    }
  }
  EXPECT_GT(compared, 0);
}

// The rule NEXT follows, in the number arithmetic: v = v + step; the loop
// goes on while (v - limit) * sign(step) <= 0, read as a real.
int32_t reference_next(Value& v, const ForRecord& record, int32_t following) {
  v = number_add(v, record.step);
  const Value d = number_sub(v, record.limit);
  const Value p = number_mul(d, number_from_int(number_to_real(*record.step) >= 0.0f ? 1 : -1));
  return p && number_to_real(*p) <= 0.0f ? record.line : following;
}

TEST(FastPathTest, IntegerNextMatchesTheRule) {
  const std::vector<int32_t> values = {
      0, 1, -1, 2, 3, 5, 100, -100, INT32_MAX, INT32_MAX - 1, INT32_MIN, INT32_MIN + 1};
  for (int32_t v : values) {
    for (int32_t limit : values) {
      for (int32_t step : values) {
        Interpreter interpreter;
        const Variable letter{'I', static_cast<uint8_t>(variable_slot('I'))};
        for_record_set(interpreter, 'I', number_from_int(limit), number_from_int(step), 20);
        variable_set(interpreter.eval, 'I', number_from_int(v));
        Value expected_value = number_from_int(v);
        const int32_t expected = reference_next(expected_value, for_record_get(interpreter, 'I'), 40);
        const int32_t actual = next_execute(NextStatement{letter}, interpreter, 40);
        ASSERT_EQ(actual, expected) << "v=" << v << " limit=" << limit << " step=" << step;
        ASSERT_TRUE(same_bits(variable_get(interpreter.eval, 'I'), expected_value));
      }
    }
  }
}

}  // namespace
}  // namespace ombrix
