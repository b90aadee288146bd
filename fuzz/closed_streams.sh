#!/usr/bin/env bash
# The interpreter with a standard stream closed: it must neither crash nor
# stop early, and must end with status 0.
#
#   fuzz/closed_streams.sh BINARY
set -uo pipefail
binary="$(cd "$(dirname "${1:?usage: closed_streams.sh BINARY}")" && pwd)/$(basename "$1")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
failures=0

check() {  # NAME EXPECTED_STATUS ACTUAL_STATUS EXPECTED_TEXT ACTUAL_TEXT
  if [ "$2" != "$3" ] || [ "$4" != "$5" ]; then
    printf 'FAIL %s\n  status: expected %s, got %s\n  expected: %q\n  actual:   %q\n' "$1" "$2" "$3" "$4" "$5"
    failures=$((failures + 1))
  else
    echo "PASS $1"
  fi
}

# Standard output closed: every write to it fails. The lines after them
# still run: the invalid line reports on standard error, and SHELL (which
# flushes standard output first) writes there too.
printf '%s\n' '10 PRINT "x"' 'RUN' 'LIST' 'TRON' 'RUN' 'PRINT 1, 2.5' 'NOT A LINE' \
  'SHELL "echo alive >&2"' >typed.txt
"$binary" <typed.txt >&- 2>err.txt
status=$?
check "standard output closed" 0 "$status" $'ERROR: INVALID STATEMENT\nalive' "$(cat err.txt)"

# Standard input closed: the first read meets its end; nothing is printed.
"$binary" <&- >out.txt 2>err.txt
status=$?
check "standard input closed" 0 "$status" "" "$(cat out.txt err.txt)"

# Standard input closed while a program file is read and run: INPUT's reply
# is empty, so its LET line is invalid, and the program goes on.
printf '%s\n' '10 INPUT A' '20 PRINT "[", A, "]"' '30 PRINT "alive"' >prog.bas
"$binary" prog.bas <&- >out.txt 2>err.txt
status=$?
check "standard input closed, program file with INPUT: output" 0 "$status" $'[]\nalive' "$(cat out.txt)"
check "standard input closed, program file with INPUT: errors" 0 "$status" "ERROR: INVALID STATEMENT" "$(cat err.txt)"

# Standard error closed: the report of an invalid line is lost, nothing else.
printf '%s\n' 'NOT A LINE' 'PRINT "alive"' >typed.txt
"$binary" <typed.txt >out.txt 2>&-
status=$?
check "standard error closed" 0 "$status" "alive" "$(cat out.txt)"

[ "$failures" -eq 0 ]
