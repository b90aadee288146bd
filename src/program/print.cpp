#include "program/print.hpp"

#include <cstdio>

#include "program/compile.hpp"

namespace ombrix {

std::unique_ptr<StringLiteral> string_parse(Scanner& scanner) {
  if (!scan_expect(scanner, TOK_STRING)) return nullptr;
  const std::string_view text = scanner.text();
  return std::make_unique<StringLiteral>(StringLiteral{std::string(text.substr(1, text.size() - 2))});
}

void string_list(const StringLiteral& literal, std::FILE* out) {
  std::fputc('"', out);
  std::fputs(literal.text.c_str(), out);
  std::fputc('"', out);
}

namespace {

// item -> expression | string. The expression is tried first, and what it
// read stays read: in PRINT -"A" the sign is lost and the item is "A".
bool print_item_parse(Scanner& scanner, PrintItem& item) {
  if ((item.expression = expression_parse(scanner))) return true;
  item.string = string_parse(scanner);
  return item.string != nullptr;
}

}  // namespace

std::optional<Statement> print_parse(Scanner& scanner) {
  PrintStatement statement;
  for (;;) {
    PrintItem item;
    if (!print_item_parse(scanner, item)) {
      if (statement.items.empty()) return std::nullopt;
      break;  // after a comma: the comma stays consumed and ends the list
    }
    statement.items.push_back(std::move(item));
    if (!scan_expect(scanner, TOK_COMMA)) break;
  }
  return parsed(std::move(statement));
}

void print_execute(const PrintStatement& statement, EvalState& state) {
  for (const PrintItem& item : statement.items) {
    if (item.expression) {
      number_print(expression_eval(item.expression, state));
    } else {
      std::fputs(item.string->text.c_str(), stdout);
    }
  }
  std::fputc('\n', stdout);
}

// Each item is evaluated and written before the next one is evaluated.
void print_compile(const PrintStatement& statement, Compiler& compiler) {
  Code& code = compiler.code();
  for (const PrintItem& item : statement.items) {
    if (item.expression) {
      code.emit({Op::PRINT, 0, expression_compile(item.expression, code, ExpressionUse::exact)});
    } else {
      code.emit({Op::PRINT_TEXT, 0, compiler.text(item.string->text)});
    }
  }
  code.emit({Op::PRINT_END});
}

void print_list(const PrintStatement& statement, std::FILE* out) {
  std::fputs("PRINT ", out);
  bool first = true;
  for (const PrintItem& item : statement.items) {
    if (!first) std::fputs(", ", out);
    first = false;
    if (item.expression) {
      expression_list(item.expression, out);
    } else {
      string_list(*item.string, out);
    }
  }
}

}  // namespace ombrix
