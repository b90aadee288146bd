#!/usr/bin/env bash
# Drives ombrix in a real terminal (a tmux pane) the way a user does: the
# "> " prompt appears, a typed PRINT answers, INPUT shows "? " and takes the
# typed reply, CLS clears the screen, Ctrl-D ends ombrix with status 0.
# Usage: tmux_test.sh BINARY (helpers and skipping: tmux_lib.sh).
binary=$(readlink -f "$1")
source "$(dirname "$0")/tmux_lib.sh"

start_ombrix

# 1. The prompt "> " (capture-pane drops the trailing blank).
wait_for 'the prompt "> "' has_line '>'

# 2. A typed PRINT answers on the next line, and the prompt comes back.
type_line 'PRINT (6*7)*10'
wait_for 'the answer 420' has_line '420'
wait_for 'the prompt after the answer' last_line_is '>'

# 3. INPUT shows "? " and takes the typed reply.
type_line '10 INPUT A'
type_line '20 PRINT "twice: ", A*2'
type_line 'RUN'
wait_for 'the INPUT prompt "? "' has_line '> RUN'
wait_for 'the INPUT prompt "? "' last_line_is '?'
type_line '21'
wait_for 'the line "? 21" (prompt and typed reply)' has_line '? 21'
wait_for 'the program output "twice: 42"' has_line 'twice: 42'

# 4. CLS clears the screen: nothing typed before it stays, and the prompt is back.
type_line 'CLS'
wait_for 'a cleared screen with a prompt' bash -c \
  's=$(cat); ! grep -q "twice\|PRINT\|CLS" <<<"$s" && grep -qx ">" <<<"$s"'

# 5. Ctrl-D at the prompt ends ombrix with status 0.
press C-d
status=$(wait_exit)
[ "$status" = 0 ] || fail "ombrix did not end with status 0 after Ctrl-D (status $status)"

echo "PASS terminal in tmux: prompt, PRINT, INPUT, CLS, Ctrl-D"
exit 0
