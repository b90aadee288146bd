#include "expr/builtins.hpp"

#include <array>
#include <cmath>
#include <cstdio>

namespace ombrix {

namespace {

struct BuiltinForm {
  TokenKind kind;
  const char* listing;  // text before the argument; RND and TIME list as the word alone
  bool takes_argument;
};

// The order in which a primary tries the forms.
constexpr std::array<BuiltinForm, 13> builtin_forms{{
    {TOK_RND, "RND", false},
    {TOK_TIME, "TIME", false},
    {TOK_SIN, "SIN (", true},
    {TOK_COS, "COS (", true},
    {TOK_TAN, "TAN (", true},
    {TOK_COT, "COT (", true},
    {TOK_ATN, "ATN (", true},
    {TOK_EXP, "EXP (", true},
    {TOK_LOG, "LOG (", true},
    {TOK_ABS, "ABS (", true},
    {TOK_SGN, "SGN (", true},
    {TOK_SQR, "SQR (", true},
    {TOK_INT, "INT (", true},
}};

// form -> KEYWORD | KEYWORD "(" expression ")"
bool form_parse(Scanner& scanner, NodeBuffer& nodes, const BuiltinForm& form) {
  scan_next(scanner);
  if (scanner.kind != form.kind) {
    scan_unget(scanner);
    return false;
  }
  const auto token = static_cast<uint8_t>(form.kind);
  if (!form.takes_argument) {
    nodes.push(Node{form.kind == TOK_RND ? NodeKind::RND : NodeKind::TIME, token, 0, 0});
    return true;
  }
  if (!scan_expect(scanner, TOK_LPAREN)) return false;  // the keyword stays consumed
  if (!expression_parse(scanner, nodes) || !scan_expect(scanner, TOK_RPAREN)) return false;
  nodes.push(Node{NodeKind::CALL, token, 0, 0});
  return true;
}

}  // namespace

Number builtin_apply(TokenKind kind, Number x) {
  if (const RealFunction f = real_function(kind)) return number_from_float(f(number_to_real(x)));
  switch (kind) {
    case TOK_ABS:
      if (x.is_integer()) return x.integer() < 0 ? number_from_int(static_cast<int32_t>(0u - x.payload)) : x;
      return Number{NUMBER_REAL, x.payload & 0x7fffffffu};
    case TOK_SGN:
      if (x.is_integer()) return number_from_int(x.integer() > 0 ? 1 : (x.integer() < 0 ? -1 : 0));
      return number_from_int(x.real() > 0.0f ? 1 : (x.real() < 0.0f ? -1 : 0));
    case TOK_INT: return number_from_int(number_to_int(x));
    default: return x;
  }
}

bool builtin_parse(Scanner& scanner, NodeBuffer& nodes) {
  const uint32_t before = nodes.size();
  for (const BuiltinForm& form : builtin_forms) {
    if (form_parse(scanner, nodes, form)) return true;
    nodes.truncate(before);  // what a failed argument appended
  }
  return false;
}

Value builtin_eval(const Expression& expression, uint32_t root, EvalState& state) {
  const Node& node = expression[root];
  switch (node.kind) {
    case NodeKind::RND: return number_from_float(random_next(state));
    case NodeKind::TIME: return number_from_int(time_of_day(state));
    default: break;
  }
  const Value x = expression_eval(expression, Expression::last_operand(root), state);
  if (!x) return std::nullopt;
  return builtin_apply(static_cast<TokenKind>(node.token), *x);
}

void builtin_list(const Expression& expression, uint32_t root, std::FILE* out) {
  const Node& node = expression[root];
  for (const BuiltinForm& form : builtin_forms) {
    if (form.kind != node.token) continue;
    std::fputs(form.listing, out);
    if (form.takes_argument) {
      expression_list(expression, Expression::last_operand(root), out);
      std::fputc(')', out);
    }
    return;
  }
}

float random_next(EvalState& state) {
  state.random_seed = (state.random_seed * 16807u) % 2147483647u;
  return static_cast<float>(state.random_seed) * 0x1p-31f;
}

void random_randomize(EvalState& state) {
  const std::time_t now = state.clock(nullptr);
  state.random_seed = now == 0 ? 1 : static_cast<uint64_t>(now);
}

int32_t time_of_day(EvalState& state) {
  const std::time_t now = state.clock(nullptr);
  std::tm local{};
  if (localtime_r(&now, &local) == nullptr) return 0;  // no local time: report midnight
  local.tm_sec = 0;
  local.tm_min = 0;
  local.tm_hour = 0;
  const std::time_t midnight = std::mktime(&local);
  if (midnight == static_cast<std::time_t>(-1)) return 0;
  return static_cast<int32_t>(static_cast<uint32_t>(now - midnight));
}

}  // namespace ombrix
