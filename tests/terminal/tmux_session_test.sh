#!/usr/bin/env bash
# What every terminal session does, with line editing or without: Ctrl-C
# stops a run (in a loop, in INPUT, in SHELL) and keeps the program, drops
# the line being typed at the prompt, ends a direct INPUT; Ctrl-D ends the
# session; a program's output is flushed before a reply is waited for; and
# with a program file Ctrl-C ends ombrix as it always did.
# Usage: tmux_session_test.sh BINARY [TERM]. TERM=dumb makes ombrix read
# lines plainly, as a build without libedit does.
# (Helpers and skipping: tmux_lib.sh.)
binary=$(readlink -f "$1")
term=${2:-}
source "$(dirname "$0")/tmux_lib.sh"
vars=()
[ -n "$term" ] && vars+=("TERM=$term")

start_ombrix "${vars[@]}" OMBRIX_HISTORY=
wait_for 'the prompt' last_line_is '>'

# Ctrl-C stops an endless run; the program stays, and runs again once mended.
type_line '10 GOTO 10'
type_line 'RUN'
wait_for 'the run' last_line_is '> RUN'
sleep 0.3
press C-c
wait_for 'the message of the stopped run' has_line 'ERROR: BREAK IN LINE 10'
wait_for 'the prompt after the stopped run' last_line_is '>'
type_line 'LIST'
wait_for 'the kept program' has_line '10 GOTO 10'
type_line '10 PRINT "still here"'
type_line 'RUN'
wait_for 'the run of the mended program' has_line 'still here'
wait_for 'the prompt' last_line_is '>'

# Ctrl-C at the prompt drops the line being typed and gives a fresh prompt
# (a plain terminal echoes "^C" after it).
type_text '20 PRINT "dropped"'
press C-c
wait_for 'a fresh prompt after Ctrl-C' last_line_is '>'
type_line 'LIST'
wait_for 'the listing after Ctrl-C at the prompt' last_line_is '>'
screen | grep -q '^20 PRINT' && fail 'the line dropped by Ctrl-C was stored'

# Ctrl-C in a direct INPUT: no run to stop, just the prompt again.
type_line 'LET A = 5'
type_line 'INPUT A'
wait_for 'the INPUT prompt' last_line_is '?'
type_text '8'
press C-c
wait_for 'the prompt after a direct INPUT' last_line_is '>'
type_line 'PRINT A'
wait_for 'A as it was' has_line '5'
screen | has_line 'ERROR: BREAK IN LINE -1' && fail 'a direct INPUT was reported as a stopped run'

# Ctrl-C in a run's SHELL stops the run at once (not after the 30 s of the
# command), and leaves no child behind.
type_line 'CLS'
wait_for 'a cleared screen' last_line_is '>'
type_line '10 INPUT A'
type_line '20 PRINT "A=", A'
type_line '30 SHELL "sleep 30"'
type_line '40 PRINT "not reached"'
type_line 'RUN'
wait_for 'the INPUT prompt' last_line_is '?'
type_line '123'
wait_for 'the reply' has_line 'A=123'
sleep 0.3
pressed=$SECONDS
press C-c
wait_for 'the message of the run stopped in SHELL' has_line 'ERROR: BREAK IN LINE 30'
[ $((SECONDS - pressed)) -lt 20 ] || fail 'Ctrl-C did not end the wait for SHELL'
pid=$(ombrix_pid)
[ -n "$pid" ] || fail 'no ombrix process found under the pane'
children=$(ps -o pid=,stat=,comm= --ppid "$pid")
[ -z "$children" ] || fail "ombrix left a child behind: $children"
screen | has_line 'not reached' && fail 'the run went on after Ctrl-C in SHELL'

# Ctrl-C in a run's INPUT stops the run without assigning the reply.
type_line 'RUN'
wait_for 'the INPUT prompt' last_line_is '?'
type_text '777'
press C-c
wait_for 'the message of the run stopped in INPUT' has_line 'ERROR: BREAK IN LINE 10'
wait_for 'the prompt' last_line_is '>'
type_line 'PRINT A'
wait_for 'A as it was' has_line '123'

press C-d
status=$(wait_exit)
[ "$status" = 0 ] || fail "Ctrl-D did not end ombrix with status 0 (status $status)"

# A program file whose output goes to a file (or a pipe): the question it
# prints is written out before its reply is waited for, not at the end.
printf '10 PRINT "question"\n20 INPUT A\n30 PRINT "answer ", A\n' >"$work/ask.bas"
OUT="$work/out" start_ombrix "${vars[@]}" -- "$work/ask.bas"
wait_for 'the INPUT prompt' last_line_is '?'
wait_for_output "$work/out" 'question'
type_line '4'
status=$(wait_exit)
[ "$status" = 0 ] || fail "the program file did not end with status 0 (status $status)"
[ "$(cat "$work/out")" = $'question\nanswer 4' ] || fail "program output was: $(cat "$work/out")"

# With a program file, Ctrl-C ends ombrix by SIGINT, as it always did.
start_ombrix "${vars[@]}" -- "$work/ask.bas"
wait_for 'the INPUT prompt' last_line_is '?'
press C-c
status=$(wait_exit)
[ "$status" = 130 ] || fail "Ctrl-C in a program file's INPUT did not end ombrix by SIGINT (status $status)"

echo "PASS terminal session in tmux${term:+ (TERM=$term)}: Ctrl-C, Ctrl-D, output flushed before a reply"
exit 0
