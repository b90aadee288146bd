#!/usr/bin/env bash
# Runs golden transcripts under valgrind memcheck: each must give its expected
# output and exit status with no memory error and no definitely or indirectly
# lost bytes at exit.
#
#   tests/memcheck.sh BUILD_DIR [CASE_DIR...]
#
# BUILD_DIR holds an ombrix built without sanitizers (valgrind and
# AddressSanitizer do not mix) and linked dynamically (-DOMBRIX_STATIC=OFF).
# With no CASE_DIR, every folder of tests/cases runs, except those holding a
# file named "no_memcheck" (inputs of many megabytes, which valgrind takes
# hours over; their file says why).
# OMBRIX_MEMCHECK_JOBS (default 2) cases run at a time.
set -uo pipefail

# As the wrapper of one run: "memcheck.sh --exec BINARY ARGS..." runs BINARY
# under valgrind with "ombrix" as its argv[0], as the transcripts expect
# (valgrind finds the bare name on PATH).
if [ "${1:-}" = "--exec" ]; then
  binary="$2"
  shift 2
  PATH="$(dirname "$binary"):$PATH" exec valgrind -q --error-exitcode=99 --leak-check=full \
    --show-leak-kinds=definite,indirect --errors-for-leak-kinds=definite,indirect ombrix "$@"
fi

here="$(cd "$(dirname "$0")" && pwd)"
build="${1:?usage: memcheck.sh BUILD_DIR [CASE_DIR...]}"
shift
binary="$(cd "$build" && pwd)/ombrix"
[ -x "$binary" ] || { echo "memcheck.sh: no $binary" >&2; exit 2; }
command -v valgrind >/dev/null || { echo "memcheck.sh: valgrind is not installed" >&2; exit 2; }
# valgrind sees the allocations of a dynamically linked program only.
if command -v readelf >/dev/null && ! readelf -l "$binary" | grep -q "program interpreter"; then
  echo "memcheck.sh: $binary is linked statically; configure with -DOMBRIX_STATIC=OFF" >&2
  exit 2
fi

if [ $# -eq 0 ]; then
  set -- "$here"/cases/*/
fi
cases=()
skipped=0
for case in "$@"; do
  case="${case%/}"
  if [ -f "$case/no_memcheck" ]; then
    skipped=$((skipped + 1))
    continue
  fi
  cases+=("$case")
done

# Exit status 99 marks a memcheck error; no case expects it. Leaks of the
# kinds "definite" and "indirect" count as errors.
wrapper="bash $(printf %q "$here/memcheck.sh") --exec"
export wrapper binary here
logs="$(mktemp -d)"
trap 'rm -rf "$logs"' EXIT
export logs

run_one() {
  local case="$1" name
  name="$(basename "$case")"
  if OMBRIX_CASE_TIMEOUT="${OMBRIX_CASE_TIMEOUT:-600}" python3 "$here/run_case.py" --wrapper "$wrapper" \
      "$binary" "$case" >"$logs/$name.log" 2>&1; then
    echo "ok   $name"
  else
    echo "FAIL $name"
    touch "$logs/$name.failed"
  fi
}
export -f run_one

printf '%s\0' "${cases[@]}" | xargs -0 -n1 -P "${OMBRIX_MEMCHECK_JOBS:-2}" bash -c 'run_one "$1"' _

failed=0
for marker in "$logs"/*.failed; do
  [ -e "$marker" ] || continue
  name="$(basename "$marker" .failed)"
  echo "=== $name"
  cat "$logs/$name.log"
  failed=$((failed + 1))
done
echo "memcheck: ${#cases[@]} transcripts run, $failed failed, $skipped skipped (no_memcheck)"
[ "$failed" -eq 0 ]
