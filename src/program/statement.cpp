#include "program/statement.hpp"

#include <cstdio>
#include <type_traits>
#include <utility>

#include "expr/builtins.hpp"
#include "program/compile.hpp"
#include "program/flow.hpp"
#include "program/input.hpp"
#include "program/interpreter.hpp"
#include "program/loop.hpp"
#include "program/print.hpp"
#include "program/shell.hpp"

namespace ombrix {

namespace {

// let -> LET variable "=" expression
std::optional<Statement> let_parse(Scanner& scanner) {
  std::optional<LetStatement> let = assignment_parse(scanner);
  if (!let) return std::nullopt;
  return parsed(std::move(*let));
}

template <typename Keyword>
std::optional<Statement> keyword_statement() {
  return parsed(Keyword{});
}

template <class... Ts>
struct Overloaded : Ts... {
  using Ts::operator()...;
};
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

}  // namespace

std::optional<LetStatement> assignment_parse(Scanner& scanner) {
  std::optional<Variable> variable = variable_parse(scanner);
  if (!variable) return std::nullopt;
  if (!scan_expect(scanner, TOK_EQ)) return std::nullopt;
  Expression value = expression_parse(scanner);
  if (!value) return std::nullopt;
  return LetStatement{*variable, std::move(value)};
}

TokenKind statement_kind(const Statement& statement) {
  return std::visit(Overloaded{
                        [](const PrintStatement&) { return TOK_PRINT; },
                        [](const IfStatement&) { return TOK_IF; },
                        [](const GotoStatement&) { return TOK_GOTO; },
                        [](const InputStatement&) { return TOK_INPUT; },
                        [](const LetStatement&) { return TOK_LET; },
                        [](const GosubStatement&) { return TOK_GOSUB; },
                        [](const ReturnStatement&) { return TOK_RETURN; },
                        [](const EndStatement&) { return TOK_END; },
                        [](const RemStatement&) { return TOK_REM; },
                        [](const RandomizeStatement&) { return TOK_RANDOMIZE; },
                        [](const StopStatement&) { return TOK_STOP; },
                        [](const ClsStatement&) { return TOK_CLS; },
                        [](const ShellStatement&) { return TOK_SHELL; },
                        [](const BeepStatement&) { return TOK_BEEP; },
                        [](const ForStatement&) { return TOK_FOR; },
                        [](const NextStatement&) { return TOK_NEXT; },
                    },
                    statement.body);
}

std::optional<Statement> statement_parse(Scanner& scanner) {
  NestingGuard guard(scanner);
  scan_next(scanner);
  if (!guard.entered()) {  // a THEN chain too deep: its next keyword does not fit
    scan_unget(scanner);
    return std::nullopt;
  }
  switch (scanner.kind) {
    case TOK_PRINT: return print_parse(scanner);
    case TOK_IF: return if_parse(scanner);
    case TOK_GOTO: return goto_parse(scanner);
    case TOK_GOSUB: return gosub_parse(scanner);
    case TOK_INPUT: return input_parse(scanner);
    case TOK_LET: return let_parse(scanner);
    case TOK_RETURN: return keyword_statement<ReturnStatement>();
    case TOK_END: return keyword_statement<EndStatement>();
    case TOK_RANDOMIZE: return keyword_statement<RandomizeStatement>();
    case TOK_STOP: return keyword_statement<StopStatement>();
    case TOK_CLS: return keyword_statement<ClsStatement>();
    case TOK_BEEP: return keyword_statement<BeepStatement>();
    case TOK_REM: return parsed(RemStatement{std::string(scanner.text())});
    case TOK_SHELL: return shell_parse(scanner);
    case TOK_FOR: return for_parse(scanner);
    case TOK_NEXT: return next_parse(scanner);
    default: scan_unget(scanner); return std::nullopt;
  }
}

namespace {

// The alternative at a known index; the switches below have checked it.
template <typename Kind>
const Kind& body_as(const Statement& statement) {
  return *std::get_if<Kind>(&statement.body);
}

// The position of a statement kind among the alternatives of Statement::body.
template <typename Kind, std::size_t I = 0>
constexpr std::size_t position_of() {
  if constexpr (std::is_same_v<Kind, std::variant_alternative_t<I, decltype(Statement::body)>>) {
    return I;
  } else {
    return position_of<Kind, I + 1>();
  }
}

template <typename Kind>
constexpr std::size_t index_of = position_of<Kind>();

}  // namespace

// The tree walk: direct statements, traced runs, and the reference that the
// compiled program is tested against. A switch over the kinds rather than
// std::visit, which compiles to one indirect jump.
int32_t statement_execute(const Statement& statement, Interpreter& interpreter, int32_t current, int32_t following) {
  switch (statement.body.index()) {
    case index_of<PrintStatement>:
      print_execute(body_as<PrintStatement>(statement), interpreter.eval);
      return FLOW_CONTINUE;
    case index_of<IfStatement>: return if_execute(body_as<IfStatement>(statement), interpreter, current, following);
    case index_of<GotoStatement>: return goto_execute(body_as<GotoStatement>(statement), interpreter);
    case index_of<InputStatement>: return input_execute(body_as<InputStatement>(statement), interpreter);
    case index_of<LetStatement>: {
      const LetStatement& let = body_as<LetStatement>(statement);
      variable_set(interpreter.eval, let.variable.letter, expression_eval(let.value, interpreter.eval));
      return FLOW_CONTINUE;
    }
    case index_of<GosubStatement>: return gosub_execute(body_as<GosubStatement>(statement), interpreter, following);
    case index_of<ReturnStatement>: return return_execute(interpreter);
    case index_of<EndStatement>: return FLOW_END;
    case index_of<RemStatement>: return FLOW_CONTINUE;
    case index_of<RandomizeStatement>: random_randomize(interpreter.eval); return FLOW_CONTINUE;
    case index_of<StopStatement>:
      // Ends the reading of input lines, not the run.
      interpreter.stop = true;
      return FLOW_CONTINUE;
    case index_of<ClsStatement>: std::fputs("\033[2J\n\033[H\n", stdout); return FLOW_CONTINUE;
    case index_of<ShellStatement>:
      interpreter.shell_runner(body_as<ShellStatement>(statement).command.text.c_str());
      // Ctrl-C stops the command and, with it, the run.
      return interpreter.halt != HALT_NONE ? FLOW_END : FLOW_CONTINUE;
    case index_of<BeepStatement>: std::fputc('\a', stdout); return FLOW_CONTINUE;
    case index_of<ForStatement>: return for_execute(body_as<ForStatement>(statement), interpreter, current, following);
    case index_of<NextStatement>: return next_execute(body_as<NextStatement>(statement), interpreter, following);
    default: return FLOW_CONTINUE;
  }
}

namespace {

// The statements that compile to one instruction of their own, out of line
// so that statement_compile itself needs no registers saved and passes
// every other kind on with a jump.
[[gnu::noinline]] void alone_compile(Op op, Compiler& compiler) {
  const uint32_t instruction = compiler.code().emit({op});
  // RETURN's cache starts at the EXIT.
  if (op == Op::RETURN) compiler.exit_cache(instruction);
}

}  // namespace

// A switch over the kinds, as in statement_execute: every stored line
// passes here at each compile.
void statement_compile(const Statement& statement, Compiler& compiler) {
  static_assert(std::variant_size_v<decltype(Statement::body)> == 16, "every statement kind needs its case below");
  switch (statement.body.index()) {
    case index_of<PrintStatement>: return print_compile(body_as<PrintStatement>(statement), compiler);
    case index_of<IfStatement>: return if_compile(body_as<IfStatement>(statement), compiler);
    case index_of<GotoStatement>: return goto_compile(body_as<GotoStatement>(statement), compiler);
    case index_of<InputStatement>: return input_compile(body_as<InputStatement>(statement), compiler);
    case index_of<LetStatement>: {
      // The expression's last instruction writes the variable itself.
      const LetStatement& let = body_as<LetStatement>(statement);
      return expression_compile_into(let.value, compiler.code(), let.variable.slot);
    }
    case index_of<GosubStatement>: return gosub_compile(body_as<GosubStatement>(statement), compiler);
    case index_of<ReturnStatement>: return alone_compile(Op::RETURN, compiler);
    case index_of<EndStatement>: return alone_compile(Op::END, compiler);
    case index_of<RemStatement>: return;
    case index_of<RandomizeStatement>: return alone_compile(Op::RANDOMIZE, compiler);
    case index_of<StopStatement>: return alone_compile(Op::STOP, compiler);
    case index_of<ClsStatement>: return alone_compile(Op::CLS, compiler);
    case index_of<ShellStatement>: return shell_compile(body_as<ShellStatement>(statement), compiler);
    case index_of<BeepStatement>: return alone_compile(Op::BEEP, compiler);
    case index_of<ForStatement>: return for_compile(body_as<ForStatement>(statement), compiler);
    case index_of<NextStatement>: return next_compile(body_as<NextStatement>(statement), compiler);
    default: return;
  }
}

void statement_list(const Statement& statement, std::FILE* out) {
  std::visit(Overloaded{
                 [out](const PrintStatement& s) { print_list(s, out); },
                 [out](const IfStatement& s) { if_list(s, out); },
                 [out](const GotoStatement& s) {
                   std::fputs("GOTO ", out);
                   expression_list(s.target, out);
                 },
                 [out](const InputStatement& s) { input_list(s, out); },
                 [out](const LetStatement& s) {
                   std::fputs("LET ", out);
                   variable_list(s.variable, out);
                   std::fputs(" = ", out);
                   expression_list(s.value, out);
                 },
                 [out](const GosubStatement& s) {
                   std::fputs("GOSUB ", out);
                   expression_list(s.target, out);
                 },
                 [out](const ReturnStatement&) { std::fputs("RETURN", out); },
                 [out](const EndStatement&) { std::fputs("END", out); },
                 [out](const RemStatement& s) { std::fputs(s.text.c_str(), out); },
                 [out](const RandomizeStatement&) { std::fputs("RANDOMIZE", out); },
                 [out](const StopStatement&) { std::fputs("STOP", out); },
                 [out](const ClsStatement&) { std::fputs("CLS", out); },
                 [out](const ShellStatement& s) { shell_list(s, out); },
                 [out](const BeepStatement&) { std::fputs("BEEP", out); },
                 [out](const ForStatement& s) { for_list(s, out); },
                 [out](const NextStatement& s) {
                   std::fputs("NEXT ", out);
                   variable_list(s.variable, out);
                 },
             },
             statement.body);
}

}  // namespace ombrix
