// Finding a stored line among 1,000 and among 100,000: the cost must grow
// with the logarithm of the line count, not with the count (no walk).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "program/program.hpp"
#include "program/statement.hpp"

namespace {

using ombrix::Program;
using ombrix::Statement;

// Line numbers 10, 20, 30 ... in a fixed shuffled order.
std::vector<int32_t> shuffled_numbers(int64_t count) {
  std::vector<int32_t> numbers;
  numbers.reserve(static_cast<std::size_t>(count));
  for (int64_t i = 1; i <= count; ++i) numbers.push_back(static_cast<int32_t>(i * 10));
  std::mt19937 generator(12345);
  std::shuffle(numbers.begin(), numbers.end(), generator);
  return numbers;
}

void fill(Program& program, const std::vector<int32_t>& numbers) {
  for (int32_t number : numbers) program.insert(number, Statement{ombrix::EndStatement{}});
}

// Looks up the numbers in turn, round and round, for as long as the
// benchmark runs: lookup(number) is what is measured.
template <typename Lookup>
void lookup_loop(benchmark::State& state, const std::vector<int32_t>& numbers, Lookup lookup) {
  std::size_t at = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(lookup(numbers[at]));
    if (++at == numbers.size()) at = 0;
  }
  state.SetItemsProcessed(state.iterations());
}

// Program::find: the statement of a line number, looked up in random order.
void BM_Find(benchmark::State& state) {
  const std::vector<int32_t> numbers = shuffled_numbers(state.range(0));
  Program program;
  fill(program, numbers);
  lookup_loop(state, numbers, [&](int32_t number) { return program.find(number); });
}

// CompiledProgram::pc_of_line: where a computed jump lands in the compiled program.
void BM_PcOfLine(benchmark::State& state) {
  const std::vector<int32_t> numbers = shuffled_numbers(state.range(0));
  Program program;
  fill(program, numbers);
  const ombrix::CompiledProgram& compiled = program.compiled();  // built once, as a run does
  lookup_loop(state, numbers, [&](int32_t number) { return compiled.pc_of_line(number); });
}

// The same look-ups in ascending order, as a program's jumps mostly are:
// the tree's nodes along the path stay in cache, so what is left is the
// logarithmic depth.
void BM_PcOfLineAscending(benchmark::State& state) {
  std::vector<int32_t> numbers = shuffled_numbers(state.range(0));
  Program program;
  fill(program, numbers);
  const ombrix::CompiledProgram& compiled = program.compiled();
  std::sort(numbers.begin(), numbers.end());
  lookup_loop(state, numbers, [&](int32_t number) { return compiled.pc_of_line(number); });
}

// A jump to a number no line has.
void BM_PcOfLineMissing(benchmark::State& state) {
  const std::vector<int32_t> numbers = shuffled_numbers(state.range(0));
  Program program;
  fill(program, numbers);
  const ombrix::CompiledProgram& compiled = program.compiled();
  lookup_loop(state, numbers, [&](int32_t number) { return compiled.pc_of_line(number + 5); });
}

// Storing every line of a program typed in random order; time per line.
void BM_InsertShuffled(benchmark::State& state) {
  const std::vector<int32_t> numbers = shuffled_numbers(state.range(0));
  for (auto _ : state) {
    Program program;
    fill(program, numbers);
    benchmark::DoNotOptimize(program.size());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

BENCHMARK(BM_Find)->Arg(1000)->Arg(100000);
BENCHMARK(BM_PcOfLine)->Arg(1000)->Arg(100000);
BENCHMARK(BM_PcOfLineAscending)->Arg(1000)->Arg(100000);
BENCHMARK(BM_PcOfLineMissing)->Arg(1000)->Arg(100000);
BENCHMARK(BM_InsertShuffled)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
