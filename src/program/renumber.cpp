#include "program/renumber.hpp"

#include <algorithm>
#include <cstdio>

namespace ombrix {

std::optional<int32_t> LineRenumbering::new_number(int32_t old) const {
  const auto it = std::lower_bound(old_numbers_.begin(), old_numbers_.end(), old);
  if (it == old_numbers_.end() || *it != old) return std::nullopt;
  return renumbered_line(static_cast<std::size_t>(it - old_numbers_.begin()));
}

namespace {

// The value of a target written as digits alone: no sign, no operator, no
// parentheses, not a real. Leading zeros leave no trace in the tree ("0040"
// is the integer 40 and lists as 40), so such a literal counts as plain.
std::optional<int32_t> plain_integer_literal(const Expression& target) {
  const std::optional<Number> literal = target.literal();
  if (!literal || !literal->is_integer()) return std::nullopt;
  return literal->integer();
}

// The new target, parsed as if typed: the parse builds the tree and the
// forms evaluation reads together, so they cannot disagree.
Expression integer_target(int32_t line) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", line);
  Scanner scanner(text);
  return expression_parse(scanner);
}

// Rewrites one target in place; false when it must stay as it is.
bool target_renumber(Expression& target, const LineRenumbering& renumbering) {
  const std::optional<int32_t> old = plain_integer_literal(target);
  if (!old) return false;
  const std::optional<int32_t> line = renumbering.new_number(*old);
  if (!line) return false;
  Expression replacement = integer_target(*line);
  if (!replacement) return false;  // digits always parse: the old target is kept only if they ever did not
  target = std::move(replacement);
  return true;
}

}  // namespace

void jump_target_renumber(Statement& statement, int32_t line, const LineRenumbering& renumbering) {
  Statement* inner = &statement;
  while (auto* if_statement = std::get_if<IfStatement>(&inner->body)) inner = if_statement->then.get();
  const char* keyword = nullptr;
  if (auto* jump = std::get_if<GotoStatement>(&inner->body)) {
    if (!target_renumber(jump->target, renumbering)) keyword = "GOTO";
  } else if (auto* call = std::get_if<GosubStatement>(&inner->body)) {
    if (!target_renumber(call->target, renumbering)) keyword = "GOSUB";
  }
  if (keyword == nullptr) return;
  // What LIST or RUN printed before comes first where both streams share a file.
  std::fflush(stdout);
  std::fprintf(stderr, "WARNING: %s IN LINE %d NOT RENUMBERED\n", keyword, line);
}

}  // namespace ombrix
