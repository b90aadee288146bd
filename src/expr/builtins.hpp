// The built-in functions RND, TIME, SIN, COS, TAN, COT, ATN, EXP, LOG, ABS,
// SGN, SQR and INT, and the random generator behind RND and RANDOMIZE.
#pragma once

#include <cmath>
#include <iterator>
#include <memory>

#include "expr/expression.hpp"

namespace ombrix {

// Tries each built-in form in the fixed order RND, TIME, SIN, COS, TAN, COT,
// ATN, EXP, LOG, ABS, SGN, SQR, INT. A form that fails after its keyword keeps
// the keyword consumed, and the later forms are tried on what follows: so
// "SIN COS(0)" is COS(0), while "COS SIN(0)" fails.
bool builtin_parse(Scanner& scanner, NodeBuffer& nodes);

// The value of a built-in primary (a CALL, RND or TIME node). A
// one-argument function of the absent value is the absent value.
Value builtin_eval(const Expression& expression, uint32_t root, EvalState& state);

// The result of a one-argument function (SIN ... INT) for a present argument.
Number builtin_apply(TokenKind function, Number x);

// SIN, COS, TAN, COT, ATN, EXP, LOG and SQR: single-precision functions of
// their argument read as a real, and so a real result. builtin_apply uses
// them; compiled code calls them directly, on a float in a register. By
// token kind from TOK_SIN; none for ABS and SGN, whose results follow the
// argument's kind.
using RealFunction = float (*)(float);
inline constexpr RealFunction real_functions[] = {
    [](float x) { return std::sin(x); },         // SIN
    [](float x) { return std::cos(x); },         // COS
    [](float x) { return std::tan(x); },         // TAN
    [](float x) { return 1.0f / std::tan(x); },  // COT
    [](float x) { return std::atan(x); },        // ATN
    [](float x) { return std::exp(x); },         // EXP
    [](float x) { return std::log(x); },         // LOG
    nullptr,                                     // ABS
    nullptr,                                     // SGN
    [](float x) { return std::sqrt(x); },        // SQR
};
static_assert(TOK_SIN + std::size(real_functions) - 1 == TOK_SQR, "real_functions runs from SIN to SQR");

// The function's RealFunction, or none.
inline RealFunction real_function(TokenKind function) {
  if (function < TOK_SIN || function > TOK_SQR) return nullptr;
  return real_functions[function - TOK_SIN];
}

// "RND", "TIME", or the keyword, " (", the argument and ")".
void builtin_list(const Expression& expression, uint32_t root, std::FILE* out);

// Park-Miller: seed = seed * 16807 mod (2^31 - 1), the value seed * 2^-31.
float random_next(EvalState& state);
// Seeds from the clock; a time of 0 seeds 1, since 0 would never change.
void random_randomize(EvalState& state);
// Seconds since the last local midnight.
int32_t time_of_day(EvalState& state);

}  // namespace ombrix
