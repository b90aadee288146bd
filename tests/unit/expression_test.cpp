#include "expr/expression.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "capture.hpp"
#include "expr/builtins.hpp"
#include "helpers.hpp"

// Global allocation functions that count while `counting_allocations` is set:
// they show that evaluation does not touch the heap. They replace the
// allocator of the whole test program, so outside the counted stretch they
// only pass through to malloc and free. Every unaligned form is replaced, so
// that no pointer from another allocator reaches this free.
namespace {
std::atomic<bool> counting_allocations{false};
std::atomic<long> allocation_count{0};

void* allocate(std::size_t size) noexcept {
  if (counting_allocations.load(std::memory_order_relaxed)) allocation_count.fetch_add(1, std::memory_order_relaxed);
  return std::malloc(size == 0 ? 1 : size);
}
// Out of line, so that the compiler does not pair a visible malloc in
// operator new with this free and warn of a mismatch.
[[gnu::noinline]] void release(void* p) noexcept { std::free(p); }
}  // namespace

void* operator new(std::size_t size) {
  if (void* p = allocate(size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void operator delete(void* p) noexcept { release(p); }
void operator delete[](void* p) noexcept { release(p); }
void operator delete(void* p, std::size_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t) noexcept { release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { release(p); }

namespace ombrix {
namespace {

// The tree of one expression parsed from the start of a line, and the kinds
// of the tokens that the parse left unread, up to the line's end.
struct Parsed {
  Expression tree;
  std::vector<TokenKind> rest;
};

Parsed parse(const std::string& line) {
  Scanner scanner(line.c_str());
  Parsed parsed;
  parsed.tree = expression_parse(scanner);
  parsed.rest = rest_of(scanner);
  return parsed;
}

std::string listing(const Expression& expression) {
  return testing::capture_stdout([&] { expression_list(expression, stdout); });
}

struct ExpressionCase {
  const char* line;
  const char* listing;  // nullptr: the parse must fail
  Value value;          // in a state where no variable is set
  std::vector<TokenKind> rest;
};

TEST(ExpressionTest, ParseEvaluateList) {
  const std::vector<ExpressionCase> cases = {
      // One operator per level: the rest of a chain stays unread.
      {"1+2+3", "1+2", I(3), {TOK_PLUS, TOK_NUMBER, TOK_EOL}},
      {"2*3*4", "2 * 3", I(6), {TOK_TIMES, TOK_NUMBER, TOK_EOL}},
      {"2^3^2", "2^3", I(8), {TOK_POWER, TOK_NUMBER, TOK_EOL}},
      {"1 2", "1", I(1), {TOK_NUMBER, TOK_EOL}},
      {"(1+2)+3", "(1+2)+3", I(6), {TOK_EOL}},
      {"(1+2)*3", "(1+2) * 3", I(9), {TOK_EOL}},
      // A sign applies to the whole term after it.
      {"-2^2", "-2^2", I(-4), {TOK_EOL}},
      {"-2*3", "-2 * 3", I(-6), {TOK_EOL}},
      {"1-2*3", "1-2 * 3", I(-5), {TOK_EOL}},
      {"-7/2", "-7 / 2", I(-3), {TOK_EOL}},
      {"7/2.0", "7 / 2.000000", R(3.5f), {TOK_EOL}},
      {"7 \\ 2", "7 \\ 2", I(3), {TOK_EOL}},
      {"7 mod 2", "7 MOD 2", I(1), {TOK_EOL}},
      {"2*(-3)", "2 * (-3)", I(-6), {TOK_EOL}},
      {"2^(-1)", "2^(-1)", I(0), {TOK_EOL}},
      {"+5", "+5", I(5), {TOK_EOL}},
      {"- 5", "-5", I(-5), {TOK_EOL}},
      {"2147483647+1", "2147483647+1", I(INT32_MIN), {TOK_EOL}},
      {"-2147483647-1", "-2147483647-1", I(INT32_MIN), {TOK_EOL}},
      // Literals: converted once, listed with the number format.
      {"2.5", "2.500000", R(2.5f), {TOK_EOL}},
      {"1.5", "1.500000", R(1.5f), {TOK_EOL}},
      {"007", "7", I(7), {TOK_EOL}},
      {"3000000000", "3000000000.000000", R(3e9f), {TOK_EOL}},
      // (-1 * 0.0) + integer 0 is +0; with two negative zero terms the sum stays -0.
      {"-0.0", "-0.000000", R(0.0f), {TOK_EOL}},
      {"-(0.0)", "-(0.000000)", R(0.0f), {TOK_EOL}},
      {"-0.0-0.0", "-0.000000-0.000000", R(-0.0f), {TOK_EOL}},
      // Unset variables: the absent value travels through all arithmetic.
      {"a + b*2", "a+b * 2", ABSENT, {TOK_EOL}},
      {"X MOD 2", "X MOD 2", ABSENT, {TOK_EOL}},
      {"2^(N-1)", "2^(N-1)", ABSENT, {TOK_EOL}},
      {"A / B", "A / B", ABSENT, {TOK_EOL}},
      {"A-B", "A-B", ABSENT, {TOK_EOL}},
      {"A^B", "A^B", ABSENT, {TOK_EOL}},
      {"X+1", "X+1", ABSENT, {TOK_EOL}},
      {"1+A", "1+A", ABSENT, {TOK_EOL}},
      {"A*0", "A * 0", ABSENT, {TOK_EOL}},
      {"(A)", "(A)", ABSENT, {TOK_EOL}},
      {"2^A", "2^A", ABSENT, {TOK_EOL}},
      {"A^0", "A^0", ABSENT, {TOK_EOL}},
      {"-A", "-A", ABSENT, {TOK_EOL}},
      // Failures give back only the token that did not fit.
      {"2*-3", nullptr, ABSENT, {TOK_MINUS, TOK_NUMBER, TOK_EOL}},
      {"2^-1", nullptr, ABSENT, {TOK_MINUS, TOK_NUMBER, TOK_EOL}},
      {"1+-2", nullptr, ABSENT, {TOK_MINUS, TOK_NUMBER, TOK_EOL}},
      {"- -1", nullptr, ABSENT, {TOK_MINUS, TOK_NUMBER, TOK_EOL}},
      {"(1+2", nullptr, ABSENT, {TOK_EOL}},
      {"(1 2)", nullptr, ABSENT, {TOK_NUMBER, TOK_RPAREN, TOK_EOL}},
      {"()", nullptr, ABSENT, {TOK_RPAREN, TOK_EOL}},
      {"1+", nullptr, ABSENT, {TOK_EOL}},
      {"1 MOD", nullptr, ABSENT, {TOK_EOL}},
      {"-", nullptr, ABSENT, {TOK_EOL}},
      {"", nullptr, ABSENT, {TOK_EOL}},
      {")", nullptr, ABSENT, {TOK_RPAREN, TOK_EOL}},
      {"PRINT 1", nullptr, ABSENT, {TOK_PRINT, TOK_NUMBER, TOK_EOL}},
  };
  for (const ExpressionCase& c : cases) {
    SCOPED_TRACE(std::string("line: ") + c.line);
    const Parsed parsed = parse(c.line);
    EXPECT_EQ(parsed.rest, c.rest);
    if (c.listing == nullptr) {
      EXPECT_FALSE(parsed.tree);
      continue;
    }
    ASSERT_TRUE(parsed.tree);
    EXPECT_EQ(listing(parsed.tree), c.listing);
    EvalState state;
    EXPECT_TRUE(same_bits(expression_eval(parsed.tree, state), c.value));
  }
}

// The listing is itself a line that parses to the same listing and value.
TEST(ExpressionTest, ListingParsesBackToItself) {
  EvalState state;
  variable_set(state, 'A', I(6));
  variable_set(state, 'B', R(1.5f));
  for (const char* line : {"a + b*2", "-A\\4+B^2", "(A MOD 4)/(B-1)", "+(-(A))", "2^(A-1)*3", "-0.5*A-7 / 2"}) {
    SCOPED_TRACE(line);
    const Parsed first = parse(line);
    ASSERT_TRUE(first.tree);
    const std::string text = listing(first.tree);
    const Parsed second = parse(text);
    ASSERT_TRUE(second.tree);
    EXPECT_EQ(listing(second.tree), text);
    EXPECT_EQ(second.rest, std::vector<TokenKind>{TOK_EOL});
    EXPECT_TRUE(same_bits(expression_eval(second.tree, state), expression_eval(first.tree, state)));
  }
}

TEST(VariableSlotTest, LowerCaseLetterSharesTheSlotSixLettersOn) {
  struct Case {
    char lower;
    char upper;
  };
  for (const Case c : {Case{'a', 'G'}, Case{'b', 'H'}, Case{'t', 'Z'}, Case{'u', 'A'}, Case{'z', 'F'}}) {
    SCOPED_TRACE(std::string(1, c.lower) + " and " + c.upper);
    EvalState state;
    variable_set(state, c.upper, I(5));
    const Parsed lower = parse(std::string(1, c.lower));
    ASSERT_TRUE(lower.tree);
    EXPECT_TRUE(same_bits(expression_eval(lower.tree, state), I(5)));
    EXPECT_EQ(listing(lower.tree), std::string(1, c.lower));

    variable_set(state, c.lower, R(2.5f));
    EXPECT_TRUE(same_bits(variable_get(state, c.upper), R(2.5f)));
  }
}

TEST(VariableSlotTest, UpperCaseLettersHaveSlotsOfTheirOwn) {
  EvalState state;
  for (char c = 'A'; c <= 'Z'; ++c) variable_set(state, c, I(c - 'A'));
  for (char c = 'A'; c <= 'Z'; ++c) EXPECT_TRUE(same_bits(variable_get(state, c), I(c - 'A'))) << c;
}

TEST(VariableSlotTest, StoringAbsentEmptiesAndClearEmptiesAll) {
  EvalState state;
  EXPECT_FALSE(variable_get(state, 'Q').has_value());
  variable_set(state, 'Q', I(1));
  variable_set(state, 'Q', ABSENT);
  EXPECT_FALSE(variable_get(state, 'Q').has_value());

  for (char c = 'A'; c <= 'Z'; ++c) variable_set(state, c, R(0.5f));
  variables_clear(state);
  for (char c = 'A'; c <= 'Z'; ++c) EXPECT_FALSE(variable_get(state, c).has_value()) << c;
}

// Operands are read left to right at every level, which fixes the order of
// RND draws.
TEST(ExpressionTest, OperandsAreEvaluatedLeftToRight) {
  struct Case {
    const char* line;
    float (*combine)(float first, float second);
  };
  const std::vector<Case> cases = {
      {"RND-RND", [](float first, float second) { return first - second; }},
      {"RND/RND", [](float first, float second) { return first / second; }},
      {"RND^RND",
       [](float first, float second) {
         return static_cast<float>(std::pow(static_cast<double>(first), static_cast<double>(second)));
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    EvalState reference;
    const float first = random_next(reference);
    const float second = random_next(reference);

    const Parsed parsed = parse(c.line);
    ASSERT_TRUE(parsed.tree);
    EvalState state;
    EXPECT_TRUE(same_bits(expression_eval(parsed.tree, state), R(c.combine(first, second))));
    EXPECT_EQ(state.random_seed, reference.random_seed);
  }
}

std::string nested(const std::string& open, const std::string& close, int depth) {
  std::string line;
  for (int i = 0; i < depth; ++i) line += open;
  line += "1";
  for (int i = 0; i < depth; ++i) line += close;
  return line;
}

TEST(ExpressionTest, NestingIsBounded) {
  struct Case {
    const char* open;
    Value value;
  };
  for (const Case& c : {Case{"(", I(1)}, Case{"-(", I(1)}, Case{"ABS(", I(1)}, Case{"INT(", I(1)}}) {
    SCOPED_TRACE(c.open);
    const Parsed deep = parse(nested(c.open, ")", 200));
    ASSERT_TRUE(deep.tree);
    EXPECT_EQ(deep.rest, std::vector<TokenKind>{TOK_EOL});
    EvalState state;
    EXPECT_TRUE(same_bits(expression_eval(deep.tree, state), c.value));

    EXPECT_FALSE(parse(nested(c.open, ")", MAX_NESTING + 1)).tree);
  }
  EXPECT_EQ(listing(parse(nested("(", ")", 200)).tree), nested("(", ")", 200));
}

TEST(ExpressionTest, HundredThousandOpeningParenthesesFailWithoutCrashing) {
  const std::string line(100000, '(');
  Scanner scanner(line.c_str());
  EXPECT_FALSE(expression_parse(scanner));
  // The parse stops at the limit: what lies beyond it is left unread.
  scan_next(scanner);
  EXPECT_EQ(scanner.kind, TOK_LPAREN);
}

// A finished parse leaves no nesting behind, also when it fails at its
// deepest level: two expressions that are each nested deeper than half the
// limit parse one after the other on one line.
// A built-in form that fails after its keyword drops the nodes its argument
// had made, also when they were too many for the parser's buffer on the
// stack; the form that follows then parses alone.
TEST(ExpressionTest, NodesOfAFailedArgumentAreDropped) {
  for (int depth : {3, 40}) {
    SCOPED_TRACE(depth);
    std::string argument = "1";
    for (int i = 0; i < depth; ++i) argument = "(" + argument + "+1)";
    const Parsed parsed = parse("SIN(" + argument + " COS(0)-ABS(-2)");
    ASSERT_TRUE(parsed.tree);
    EXPECT_EQ(listing(parsed.tree), "COS (0)-ABS (-2)");
    EvalState state;
    EXPECT_TRUE(same_bits(expression_eval(parsed.tree, state), R(std::cos(runtime_float(0.0f)) - 2.0f)));
  }
}

TEST(ExpressionTest, NestingIsReleasedAfterEachParse) {
  const int depth = MAX_NESTING * 2 / 3;
  struct Case {
    std::string first;
    bool first_parses;
  };
  for (const Case& c : {Case{nested("(", ")", depth), true}, Case{std::string(depth, '(') + "1", false}}) {
    SCOPED_TRACE(c.first_parses ? "first parses" : "first fails");
    const std::string line = c.first + " " + nested("(", ")", depth);
    Scanner scanner(line.c_str());
    EXPECT_EQ(static_cast<bool>(expression_parse(scanner)), c.first_parses);
    EXPECT_TRUE(expression_parse(scanner));
    EXPECT_EQ(rest_of(scanner), std::vector<TokenKind>{TOK_EOL});
  }
}

TEST(ExpressionTest, EvaluationAllocatesNothing) {
  // The counter itself works.
  counting_allocations = true;
  void* probe = ::operator new(sizeof(int));
  counting_allocations = false;
  ::operator delete(probe);
  ASSERT_EQ(allocation_count.exchange(0), 1);

  struct Case {
    const char* line;
    Value value;
  };
  EvalState state;
  variable_set(state, 'A', I(4));
  variable_set(state, 'X', I(7));
  const std::vector<Case> cases = {
      {"(A+1) * 2", I(10)},
      {"SIN(X)+ABS(-2)", R(std::sin(runtime_float(7.0f)) + 2.0f)},
      {"X^2 MOD 3", I(1)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const Parsed parsed = parse(c.line);
    ASSERT_TRUE(parsed.tree);
    allocation_count = 0;
    counting_allocations = true;
    const Value value = expression_eval(parsed.tree, state);
    counting_allocations = false;
    EXPECT_EQ(allocation_count.load(), 0);
    EXPECT_TRUE(same_bits(value, c.value));
  }
}

}  // namespace
}  // namespace ombrix
