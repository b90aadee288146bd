#include "program/run.hpp"

#include <cstdio>
#include <iterator>

#include "expr/builtins.hpp"
#include "program/flow.hpp"
#include "program/input.hpp"
#include "program/loop.hpp"

namespace ombrix {

namespace {

// Reports why the run stops at `line` and clears the reason. The program,
// the variables and the loop records stay as they are; only a return stack
// that overflowed is emptied, since nothing could return through it all.
void run_halted(Interpreter& interpreter, int32_t line) {
  switch (interpreter.halt) {
    case HALT_INTERRUPT: std::fprintf(stderr, "ERROR: BREAK IN LINE %d\n", line); break;
    case HALT_RETURN_STACK_FULL:
      std::fprintf(stderr, "ERROR: TOO MANY NESTED GOSUBS IN LINE %d\n", line);
      interpreter.return_stack.clear();
      interpreter.return_stack.shrink_to_fit();
      break;
    default: break;
  }
  interpreter.halt = HALT_NONE;
}

// The run stops at the instruction, a jump or an END: a halt that came is
// reported there. Out of line, as the rare path.
[[gnu::noinline]] void stop_at(Interpreter& interpreter, const CompiledProgram& program, const Instruction* at) {
  if (interpreter.halt == HALT_NONE) return;
  run_halted(interpreter, program.line_at(static_cast<uint32_t>(at - program.code.instructions.data())));
}

Number lone_if(const Instruction& in, Number n) { return (in.mode & LONE) != 0 ? lone_value(n) : n; }

// A real result as its cell's word, with the lone term's "+ 0" where the
// instruction asks for it.
uint64_t real_result_word(const Instruction& in, float value) {
  return real_word((in.mode & LONE) != 0 ? lone_real(value) : value);
}

// Two integers whose quotient and remainder have 32 bits: the divisor is
// neither 0 nor -1 (which would overflow on -2^31).
bool divisible_integers(uint64_t x, uint64_t y) {
  return both_integer_words(x, y) && static_cast<uint32_t>(word_integer(y)) + 1u > 1u;
}

template <Op op>
bool passes(const Instruction& in, const Number* cells) {
  return cells_compare(op, cells[in.b], cells[in.c]);
}

// The compiled run. Each instruction is one case; where an operation has a
// common case (two integer operands, all-integer loops), it is tested
// first and done inline, and everything else goes through the same
// arithmetic as the tree walk, with the same bits.
void run_compiled(Interpreter& interpreter) {
  CompiledProgram& program = interpreter.program.compiled();
  EvalState& eval = interpreter.eval;
  // The constants go into their cells after the variables.
  eval.cells.resize(FIRST_PROGRAM_CELL);
  eval.cells.insert(eval.cells.end(), program.code.cells.begin(), program.code.cells.end());
  Instruction* const code = program.code.instructions.data();
  Number* const cells = eval.cells.data();
  ForRecord* const loops = interpreter.loops.data();
  uint64_t jumps_left = interpreter.jump_budget != 0 ? interpreter.jump_budget : UINT64_MAX;
  Instruction* ip = code;

  // Ends the run here (always false), reporting the halt that came, if one
  // did. Every jump and every END looks for a halt: an endless run passes a
  // jump again and again, so a halt is seen in time, and the straight
  // stretches between jumps pay nothing for it.
  const auto end_run = [&] {
    stop_at(interpreter, program, ip);
    return false;
  };
  // Jumps to the instruction; false when the run ends instead.
  const auto jump = [&](uint32_t target) {
    if (interpreter.halt != HALT_NONE || --jumps_left == 0) return end_run();
    ip = code + target;
    return true;
  };
  // A flow code known only at run time: -1 goes on, -2 ends, any other
  // value is the number of the line to jump to.
  const auto follow = [&](int32_t flow) {
    if (flow == FLOW_CONTINUE) {
      ++ip;
      return true;
    }
    if (flow == FLOW_END) return end_run();
    return jump(program.pc_of_line(flow));
  };
  // The same for RETURN and NEXT, which mostly go back to the line they
  // went to last time: they keep that line (field a) and its pc (field b).
  const auto follow_cached = [&](Instruction& in, int32_t line) {
    if (line == static_cast<int32_t>(in.a)) return jump(in.b);
    if (line == FLOW_CONTINUE || line == FLOW_END) return follow(line);
    in.a = static_cast<uint32_t>(line);
    in.b = program.pc_of_line(line);
    return jump(in.b);
  };

  for (;;) {
    Instruction& in = *ip;
    switch (in.op) {
      case Op::MOVE: cells[in.a] = lone_value(cells[in.b]); break;
      case Op::NEGATE: cells[in.a] = lone_if(in, cell_negate(cells[in.b])); break;
      // Two integer operands, the common case, are done inline on the
      // cells' words (see word_of).
      // Single-precision steps are inline too, on floats in registers.
      case Op::ADD: {
        const uint64_t x = word_of(cells[in.b]);
        const uint64_t y = word_of(cells[in.c]);
        if (both_integer_words(x, y)) {
          cells[in.a] = number_of_word(x + y);
        } else if (both_present_words(x, y)) {
          cells[in.a] = number_of_word(real_result_word(in, real_add(word_real(x), word_real(y))));
        } else {
          cells[in.a] = ABSENT_NUMBER;
        }
        break;
      }
      case Op::SUBTRACT: {
        const uint64_t x = word_of(cells[in.b]);
        const uint64_t y = word_of(cells[in.c]);
        cells[in.a] = both_integer_words(x, y) ? number_of_word(x - y)
                                               : lone_if(in, cell_subtract(number_of_word(x), number_of_word(y)));
        break;
      }
      case Op::MULTIPLY: {
        const uint64_t x = word_of(cells[in.b]);
        const uint64_t y = word_of(cells[in.c]);
        if (both_integer_words(x, y)) {
          cells[in.a] = number_of_word(x * (y >> 32));
        } else if (both_present_words(x, y)) {
          cells[in.a] = number_of_word(real_result_word(in, real_multiply(word_real(x), word_real(y))));
        } else {
          cells[in.a] = ABSENT_NUMBER;
        }
        break;
      }
      case Op::DIVIDE: {
        const uint64_t x = word_of(cells[in.b]);
        const uint64_t y = word_of(cells[in.c]);
        if (divisible_integers(x, y)) {
          cells[in.a] = number_from_int(word_integer(x) / word_integer(y));
        } else if (both_present_words(x, y) && !both_integer_words(x, y)) {
          cells[in.a] = number_of_word(real_result_word(in, real_divide(word_real(x), word_real(y))));
        } else {
          cells[in.a] = lone_if(in, cell_divide(number_of_word(x), number_of_word(y)));  // by 0 or -1, or absent
        }
        break;
      }
      case Op::INT_DIVIDE: {
        const uint64_t x = word_of(cells[in.b]);
        const uint64_t y = word_of(cells[in.c]);
        cells[in.a] = divisible_integers(x, y) ? number_from_int(word_integer(x) / word_integer(y))
                                               : lone_if(in, cell_int_divide(number_of_word(x), number_of_word(y)));
        break;
      }
      case Op::MODULO: {
        const uint64_t x = word_of(cells[in.b]);
        const uint64_t y = word_of(cells[in.c]);
        cells[in.a] = divisible_integers(x, y) ? number_from_int(word_integer(x) % word_integer(y))
                                               : lone_if(in, cell_modulo(number_of_word(x), number_of_word(y)));
        break;
      }
      case Op::POWER: cells[in.a] = lone_if(in, cell_power(cells[in.b], cells[in.c])); break;
      case Op::CALL: {
        const auto function = static_cast<TokenKind>(in.c);
        uint64_t x = word_of(cells[in.b]);
        if ((in.mode & ARGUMENT_LONE) != 0) x = word_of(lone_value(number_of_word(x)));
        if (static_cast<uint32_t>(x) == NUMBER_ABSENT) {
          cells[in.a] = ABSENT_NUMBER;
        } else if (const RealFunction f = real_function(function)) {
          // SQR, SIN and the like on a float in a register.
          cells[in.a] = number_of_word(real_result_word(in, f(word_real(x))));
        } else {
          cells[in.a] = lone_if(in, builtin_apply(function, number_of_word(x)));
        }
        break;
      }
      case Op::RND: cells[in.a] = number_from_float(random_next(eval)); break;
      case Op::TIME: cells[in.a] = number_from_int(time_of_day(eval)); break;
      case Op::PRINT: number_print(value_of(cells[in.a])); break;
      case Op::PRINT_TEXT: std::fputs(program.texts[in.a], stdout); break;
      case Op::PRINT_END: std::fputc('\n', stdout); break;
      case Op::JUMP:
        if (!jump(in.a)) return;
        continue;
      case Op::GOTO: {
        const Number target = cells[in.a];
        if (is_absent(target)) break;  // an absent target jumps nowhere
        if (!follow(number_to_int(target))) return;
        continue;
      }
      case Op::GOSUB: {
        const auto following = static_cast<int32_t>(in.b);
        if (following > 0 && !return_push(interpreter, following)) {
          end_run();
          return;
        }
        if (!jump(in.a)) return;
        continue;
      }
      case Op::GOSUB_TO: {
        const Number target = cells[in.a];
        if (is_absent(target)) break;
        const auto following = static_cast<int32_t>(in.b);
        if (following > 0 && !return_push(interpreter, following)) {
          end_run();
          return;
        }
        if (!follow(number_to_int(target))) return;
        continue;
      }
      case Op::RETURN: {
        const int32_t line = return_pop(interpreter);
        if (line < 0) break;  // the empty stack: go on after the RETURN
        if (!follow_cached(in, line)) return;
        continue;
      }
      case Op::IF_LE:
        if (passes<Op::IF_LE>(in, cells)) break;
        ip = code + in.a;
        continue;
      case Op::IF_NE:
        if (passes<Op::IF_NE>(in, cells)) break;
        ip = code + in.a;
        continue;
      case Op::IF_LT:
        if (passes<Op::IF_LT>(in, cells)) break;
        ip = code + in.a;
        continue;
      case Op::IF_GE:
        if (passes<Op::IF_GE>(in, cells)) break;
        ip = code + in.a;
        continue;
      case Op::IF_GT:
        if (passes<Op::IF_GT>(in, cells)) break;
        ip = code + in.a;
        continue;
      case Op::IF_EQ:
        if (passes<Op::IF_EQ>(in, cells)) break;
        ip = code + in.a;
        continue;
      case Op::JUMP_LE:
        if (!passes<Op::JUMP_LE>(in, cells)) break;
        if (!jump(in.a)) return;
        continue;
      case Op::JUMP_NE:
        if (!passes<Op::JUMP_NE>(in, cells)) break;
        if (!jump(in.a)) return;
        continue;
      case Op::JUMP_LT:
        if (!passes<Op::JUMP_LT>(in, cells)) break;
        if (!jump(in.a)) return;
        continue;
      case Op::JUMP_GE:
        if (!passes<Op::JUMP_GE>(in, cells)) break;
        if (!jump(in.a)) return;
        continue;
      case Op::JUMP_GT:
        if (!passes<Op::JUMP_GT>(in, cells)) break;
        if (!jump(in.a)) return;
        continue;
      case Op::JUMP_EQ:
        if (!passes<Op::JUMP_EQ>(in, cells)) break;
        if (!jump(in.a)) return;
        continue;
      case Op::FOR_LIMIT:
        if (!is_absent(cells[in.b])) break;
        ip = code + in.a;
        continue;
      case Op::FOR_LIMITS: {
        const Number limit = cells[in.b];
        const Number step = cells[in.c];
        if (is_absent(limit) || is_absent(step)) {  // nothing recorded, nothing assigned
          ip = code + in.a;
          continue;
        }
        loops[in.mode].limit = limit;
        loops[in.mode].step = step;
        break;
      }
      case Op::FOR_TEST: {
        ForRecord& record = loops[in.mode];
        record.line = static_cast<int32_t>(in.b);
        if (loop_test_cells(record, cells[in.mode])) break;
        if (in.c == 0) {
          ip = code + in.a;
          continue;
        }
        if (!jump(in.a)) return;
        continue;
      }
      case Op::NEXT: {
        ForRecord& record = loops[in.mode];
        Number& variable = cells[in.mode];
        const uint64_t value = word_of(variable);
        const uint64_t step = word_of(record.step);
        const uint64_t limit = word_of(record.limit);
        bool passed;
        if (static_cast<uint32_t>(value | step | limit) == NUMBER_INTEGER) {
          // A counted loop over integers, the common case, inline on the
          // words: the payloads wrap at 32 bits, and with the low halves 0,
          // the sign of d * sign(step) as a 64-bit word is its payload's.
          const uint64_t stepped = value + step;
          variable = number_of_word(stepped);
          const uint64_t d = stepped - limit;
          passed = static_cast<int64_t>(static_cast<int64_t>(step) >= 0 ? d : 0 - d) <= 0;
        } else {
          if (record.empty()) break;  // no FOR on this slot since the last reset
          variable = cell_add(variable, record.step);
          passed = loop_test(record, value_of(variable));
        }
        if (passed) {
          if (!follow_cached(in, record.line)) return;
          continue;
        }
        if (in.c == 0) break;
        if (!jump(static_cast<uint32_t>(&in - code) + 1)) return;
        continue;
      }
      case Op::END: end_run(); return;
      case Op::STOP: interpreter.stop = true; break;  // ends the reading of input lines, not the run
      case Op::CLS: std::fputs("\033[2J\n\033[H\n", stdout); break;
      case Op::BEEP: std::fputc('\a', stdout); break;
      case Op::RANDOMIZE: random_randomize(eval); break;
      case Op::SHELL:
        interpreter.shell_runner(program.texts[in.a]);
        // Ctrl-C stops the command and, with it, the run.
        if (interpreter.halt != HALT_NONE) {
          end_run();
          return;
        }
        break;
      case Op::INPUT:
        if (input_execute(*program.inputs[in.a], interpreter) == FLOW_END) {
          end_run();
          return;
        }
        break;
      case Op::BAD_RELOP:
        relop_test(RelationalOperator{static_cast<int32_t>(in.a)}, value_of(cells[in.b]), value_of(cells[in.c]));
        break;
      case Op::EXIT: return;
      // Every instruction holds one of the Ops above, so the switch needs
      // no range check; this file is compiled with -Wswitch-enum, which
      // names an Op left without its case even so.
      default: __builtin_unreachable();
    }
    ++ip;
  }
}

}  // namespace

void program_run(Interpreter& interpreter) {
  // A Ctrl-C that came before this run belongs to whatever was running then.
  interpreter.halt = HALT_NONE;
  if (interpreter.trace) {
    program_walk(interpreter);
    return;
  }
  run_compiled(interpreter);
}

void program_walk(Interpreter& interpreter) {
  const auto& lines = interpreter.program.lines();
  uint64_t jumps_left = interpreter.jump_budget;
  auto at = lines.begin();
  while (at != lines.end()) {
    const auto& [number, statement] = *at;
    if (interpreter.trace) {
      std::fputs("TR> ", stdout);
      line_print(number, statement, stdout);
    }
    const auto next = std::next(at);
    const int32_t following = next == lines.end() ? FLOW_CONTINUE : next->first;
    const int32_t flow = statement_execute(statement, interpreter, number, following);
    if (flow == FLOW_CONTINUE) {
      at = next;
      continue;
    }
    if (interpreter.halt != HALT_NONE) {
      run_halted(interpreter, number);
      return;
    }
    if (flow == FLOW_END) return;
    if (interpreter.jump_budget != 0 && --jumps_left == 0) return;
    at = line_find(lines, flow);  // no such line: the run ends silently
  }
}

}  // namespace ombrix
