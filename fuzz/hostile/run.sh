#!/usr/bin/env bash
# Generates the large hostile-input transcripts (generate.py) in a scratch
# folder and runs each through tests/run_case.py.
#
#   fuzz/hostile/run.sh BINARY            plain runs
#   fuzz/hostile/run.sh BINARY --memcheck under valgrind, through tests/memcheck.sh
#                                          (folders marked no_memcheck are skipped)
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
binary="$(cd "$(dirname "${1:?usage: run.sh BINARY [--memcheck]}")" && pwd)/$(basename "$1")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
python3 "$here/generate.py" "$work" || exit 1

if [ "${2:-}" = "--memcheck" ]; then
  "$root/tests/memcheck.sh" "$(dirname "$binary")" "$work"/*/
  exit $?
fi
failed=0
for case in "$work"/*/; do
  python3 "$root/tests/run_case.py" "$binary" "$case" || failed=$((failed + 1))
done
[ "$failed" -eq 0 ]
