// The built-in functions RND, TIME, SIN, COS, TAN, COT, ATN, EXP, LOG, ABS,
// SGN, SQR and INT, and the random generator behind RND and RANDOMIZE.
#pragma once

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

// "RND", "TIME", or the keyword, " (", the argument and ")".
void builtin_list(const Expression& expression, uint32_t root, std::FILE* out);

// Park-Miller: seed = seed * 16807 mod (2^31 - 1), the value seed * 2^-31.
float random_next(EvalState& state);
// Seeds from the clock; a time of 0 seeds 1, since 0 would never change.
void random_randomize(EvalState& state);
// Seconds since the last local midnight.
int32_t time_of_day(EvalState& state);

}  // namespace ombrix
