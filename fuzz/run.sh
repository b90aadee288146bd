#!/usr/bin/env bash
# Runs one libFuzzer target for a given time:
#
#   fuzz/run.sh TARGET SECONDS [BUILD_DIR] [extra libFuzzer flags...]
#
# TARGET is scanner, parser or session; BUILD_DIR (default build-fuzz) is a
# build configured with clang and -DOMBRIX_FUZZ=ON. The corpus grows in
# BUILD_DIR/corpus/TARGET, seeded from the golden transcripts on the first
# run; inputs that crash land in BUILD_DIR/findings/TARGET. The exit status is
# not 0 when the target crashed, leaked, tripped a sanitizer or timed out.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
target="${1:?usage: run.sh TARGET SECONDS [BUILD_DIR] [libFuzzer flags...]}"
seconds="${2:?usage: run.sh TARGET SECONDS [BUILD_DIR] [libFuzzer flags...]}"
build="$(cd "${3:-$here/../build-fuzz}" && pwd)"
shift $(( $# < 3 ? $# : 3 ))
binary="$build/fuzz/${target}_fuzz"
[ -x "$binary" ] || { echo "run.sh: no $binary; build with clang and -DOMBRIX_FUZZ=ON" >&2; exit 2; }

corpus="$build/corpus/$target"
findings="$build/findings/$target"
mkdir -p "$findings"
if [ ! -d "$corpus" ]; then
  python3 "$here/make_seeds.py" "$build/seeds" >/dev/null
  mkdir -p "$corpus"
  cp "$build/seeds/$target/"* "$corpus/"
fi
seeds=()
[ -d "$here/regressions/$target" ] && seeds+=("$here/regressions/$target")

# The interpreter reports invalid lines on standard error: close it
# (-close_fd_mask=2) so that only libFuzzer's and the sanitizers' reports
# are seen. Each input gets 20 s; a session's runs are bounded by their jumps.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
exec "$binary" "$corpus" "${seeds[@]}" \
  -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -max_len=4096 \
  -close_fd_mask=2 -print_final_stats=1 -artifact_prefix="$findings/" "$@"
