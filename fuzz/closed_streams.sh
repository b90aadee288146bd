#!/usr/bin/env bash
# The interpreter with a standard stream closed, full or broken. A closed
# stream is opened on /dev/null at start-up, so no file the interpreter opens
# takes its place: the run neither crashes nor stops early, and ends with
# status 0. Output that cannot be written is reported at exit with status 1;
# a broken pipe ends the interpreter quietly.
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

# Standard output closed: what is written to it goes to /dev/null. The lines
# after them still run: the invalid line reports on standard error, and SHELL
# (which flushes standard output first) writes there too.
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

# The same with a direct INPUT while the file is still being read, and a file
# longer than the stream's buffer: were the file opened on descriptor 0, the
# reply would be read from the file's text beyond that buffer (a line "1").
{
  printf '%s\n' 'INPUT A' 'PRINT "[", A, "]"'
  for ((i = 0; i < 10000; i++)); do echo 1; done
} >long.bas
"$binary" long.bas <&- >out.txt 2>err.txt
status=$?
check "standard input closed, long program file with a direct INPUT: output" 0 "$status" "[]" "$(cat out.txt)"
check "standard input closed, long program file with a direct INPUT: errors" 0 "$status" \
  "ERROR: INVALID STATEMENT" "$(cat err.txt)"

# Standard error closed: the report of an invalid line is lost, nothing else.
printf '%s\n' 'NOT A LINE' 'PRINT "alive"' >typed.txt
"$binary" <typed.txt >out.txt 2>&-
status=$?
check "standard error closed" 0 "$status" "alive" "$(cat out.txt)"

# Standard output on a full device: the output is lost, so the status is 1,
# with one line on standard error saying why.
printf '%s\n' '10 PRINT "lost"' >print.bas
"$binary" print.bas </dev/null >/dev/full 2>err.txt
status=$?
check "standard output full" 1 "$status" "write: No space left on device" "$(cat err.txt)"

# A reader that goes away: SIGPIPE ends the interpreter without a word; where
# SIGPIPE is ignored, the failed write ends it with status 1, also quietly.
yes 'PRINT "a line of output"' | head -n 100000 >many.txt
"$binary" <many.txt 2>err.txt | head -n 1 >/dev/null
status=${PIPESTATUS[0]}
check "broken pipe" 141 "$status" "" "$(cat err.txt)"
(
  trap '' PIPE
  exec "$binary" <many.txt 2>err.txt
) | head -n 1 >/dev/null
status=${PIPESTATUS[0]}
check "broken pipe with SIGPIPE ignored" 1 "$status" "" "$(cat err.txt)"

[ "$failures" -eq 0 ]
