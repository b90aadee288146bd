#!/usr/bin/env bash
# Line editing in a real terminal (a tmux pane), keys pressed as a user
# does: a line mended in the middle, Up, Tab completion, an INPUT reply
# edited, the history kept in $OMBRIX_HISTORY and read back by the next
# session (Up, Ctrl-R), a history file that cannot be written, and the bytes
# of a long line and of non-ASCII text handed on unchanged.
# Usage: tmux_editing_test.sh BINARY; needs ombrix built with libedit.
# (Helpers and skipping: tmux_lib.sh.)
binary=$(readlink -f "$1")
source "$(dirname "$0")/tmux_lib.sh"

history_file="$work/history"

# ---- First session ----------------------------------------------------------
start_ombrix "OMBRIX_HISTORY=$history_file"
wait_for 'the prompt' last_line_is '>'

# A typo mended: Left to the gap, and the letter inserted there.
type_text 'PRNT 6*7'
press Left Left Left Left Left Left
type_text 'I'
wait_for 'the mended line' has_line '> PRINT 6*7'
press Enter
wait_for 'the answer of the mended line' has_line '42'
wait_for 'the prompt' last_line_is '>'

# Up recalls it.
press Up
wait_for 'the recalled line' last_line_is '> PRINT 6*7'
press Enter
wait_for 'the answer of the recalled line' line_count_is 2 '42'
wait_for 'the prompt' last_line_is '>'

# Ctrl-A and Ctrl-E reach the ends of the line, Ctrl-W takes a word back.
type_text '3+4 junk'
press C-w
press C-a
type_text 'PRINT ('
press C-e
type_text ')*10'
wait_for 'the line edited at both ends' last_line_is '> PRINT (3+4 )*10'
press Enter
wait_for 'its answer' has_line '70'

# Tab completes a keyword typed in lower case to upper case; with several
# candidates it lists them under the line.
type_text 'pr'
press Tab
type_text ' 5'
wait_for 'the completed keyword' last_line_is '> PRINT 5'
press Enter
wait_for 'the answer of the completed line' has_line '5'
type_text 're'
press Tab
wait_for 'the candidates for "re"' has_line 'REM  RENUM  RETURN'
press C-u
wait_for 'the prompt' last_line_is '>'

# A line dropped by Ctrl-C is no history.
type_text '20 PRINT "dropped"'
press C-c
wait_for 'a fresh prompt after Ctrl-C' last_line_is '>'

# An INPUT reply is edited like a line, and kept apart from the history.
type_line '10 INPUT A'
type_line '20 PRINT "A=", A'
type_line 'RUN'
wait_for 'the INPUT prompt' last_line_is '?'
type_text '13'
press Left
type_text '2'
press Enter
wait_for 'the edited reply' has_line 'A=123'
wait_for 'the prompt' last_line_is '>'
press Up
wait_for 'the last program line, not the reply' last_line_is '> RUN'
press C-u

type_line '10 GOTO 10'
type_line 'PRINT "last of the first session"'
wait_for 'the last answer' has_line 'last of the first session'
press C-d
status=$(wait_exit)
[ "$status" = 0 ] || fail "Ctrl-D did not end ombrix with status 0 (status $status)"

# The history file holds the lines typed at the prompt, each once in a row,
# and neither the reply nor the line dropped by Ctrl-C.
grep -qx '10 INPUT A' "$history_file" || fail 'history file lacks "10 INPUT A"'
[ "$(grep -cx 'PRINT 6\*7' "$history_file")" = 1 ] || fail 'a repeated line was kept twice'
grep -qx -e '123' -e '13' "$history_file" && fail 'an INPUT reply went into the history file'
grep -q 'dropped' "$history_file" && fail 'the line dropped by Ctrl-C went into the history file'

# ---- Second session: the history is read back ------------------------------
start_ombrix "OMBRIX_HISTORY=$history_file"
wait_for 'the prompt' last_line_is '>'
press Up
wait_for 'the last line of the first session' last_line_is '> PRINT "last of the first session"'
press C-u
# Ctrl-R finds an older line by what it contains.
press C-r
type_text 'GOTO'
press Enter
type_line 'LIST'
wait_for 'the line found by Ctrl-R, stored' has_line '10 GOTO 10'
press C-d
status=$(wait_exit)
[ "$status" = 0 ] || fail "the second session did not end with status 0 (status $status)"

# ---- A history file that cannot be written: one warning, nothing more ------
unwritable="$work/no-such-dir/history"
start_ombrix "OMBRIX_HISTORY=$unwritable"
wait_for 'the warning' has_line "WARNING: CANNOT WRITE HISTORY FILE $unwritable: No such file or directory"
wait_for 'the prompt' last_line_is '>'
type_line 'PRINT 2+3'
wait_for 'the answer' has_line '5'
type_line 'PRINT 9'
wait_for 'the answer' has_line '9'
[ "$(screen | grep -c WARNING)" = 1 ] || fail 'more than one warning for an unwritable history file'
press C-d
status=$(wait_exit)
[ "$status" = 0 ] || fail "the session without a history file did not end with status 0 (status $status)"

# ---- The bytes typed are the bytes handed on: a line longer than any fixed
# buffer, and non-ASCII text typed under the plain C locale --------------
long=$(printf 'x%.0s' {1..3000})
OUT="$work/out" start_ombrix LC_ALL=C LANG= OMBRIX_HISTORY=
wait_for 'the prompt' last_line_is '>'
type_line "PRINT \"$long\""
wait_for_output "$work/out" "$long"
type_text 'PRINT "é€"'
press Left Left
type_text 'ü'
press Enter
wait_for_output "$work/out" 'éü€'
press C-d
status=$(wait_exit)
[ "$status" = 0 ] || fail "the session of long lines did not end with status 0 (status $status)"
printf '%s\néü€\n' "$long" | cmp -s - "$work/out" || fail "the bytes handed on differ: $(od -c "$work/out" | tail -n 3)"

# ---- A program file's INPUT reply is edited too -----------------------------
printf '10 INPUT A\n20 PRINT "answer ", A\n' >"$work/ask.bas"
start_ombrix -- "$work/ask.bas"
wait_for 'the INPUT prompt' last_line_is '?'
type_text '4'
press Home
type_text '-'
press Enter
wait_for 'the answer of the edited reply' has_line 'answer -4'
status=$(wait_exit)
[ "$status" = 0 ] || fail "the program file did not end with status 0 (status $status)"

echo "PASS line editing in tmux: keys, completion, history, bytes"
exit 0
