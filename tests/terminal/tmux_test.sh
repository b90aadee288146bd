#!/usr/bin/env bash
# Drives ombrix in a real terminal (a tmux pane) the way a user does: the
# "> " prompt appears, a typed PRINT answers, INPUT shows "? " and takes the
# typed reply, CLS clears the screen, Ctrl-D ends ombrix with status 0.
# Usage: tmux_test.sh BINARY. Without tmux it is skipped (exit 77), except
# under CI (CI set), where a missing tmux is a failure.
set -u
# Generous: each wait ends as soon as the screen shows what it waits for,
# and a loaded machine (tests run in parallel) can be slow to redraw.
timeout_s=${OMBRIX_TMUX_TIMEOUT:-60}

if ! command -v tmux >/dev/null; then
  if [ -n "${CI:-}" ]; then
    echo "FAIL: tmux is not installed, and CI must run this test (.ci/run installs it)"
    exit 1
  fi
  echo "SKIP: tmux is not installed"
  exit 77
fi

binary=$(readlink -f "$1")
socket="ombrix-test-$$"
# The pane's shell waits for ombrix and writes its exit status here. tmux's
# own record of a dead pane's status is not reliable: it can miss the child's
# exit (seen with a sanitizer build, whose leak check runs at exit) and leave
# the status empty forever, with ombrix long gone.
status_file=$(mktemp)
tm() { tmux -L "$socket" -f /dev/null "$@"; }
cleanup() { tm kill-server >/dev/null 2>&1; rm -f "$status_file"; }
trap cleanup EXIT

screen() { tm capture-pane -p -t t; }
fail() {
  echo "FAIL: $1"
  echo "--- the screen:"
  screen 2>&1 | sed 's/^/|/'
  exit 1
}
# wait_for DESCRIPTION COMMAND...: polls the screen until COMMAND (given the
# screen on standard input) succeeds, or fails after the timeout.
wait_for() {
  local what=$1; shift
  local deadline=$((SECONDS + timeout_s))
  while [ $SECONDS -le $deadline ]; do
    if screen 2>/dev/null | "$@"; then return 0; fi
    sleep 0.1
  done
  fail "timed out after ${timeout_s} s waiting for $what"
}
has_line() { grep -qx -- "$1"; }
type_line() { tm send-keys -t t -l -- "$1" && tm send-keys -t t Enter; }

tm new-session -d -s t -x 80 -y 24 \
  "$(printf '%q' "$binary"); echo \$? >$(printf '%q' "$status_file")" || { echo "FAIL: tmux could not start a session"; exit 1; }
tm set-option -t t remain-on-exit on >/dev/null

# 1. The prompt "> " (capture-pane drops the trailing blank).
wait_for 'the prompt "> "' has_line '>'

# 2. A typed PRINT answers on the next line, and the prompt comes back.
type_line 'PRINT (6*7)*10'
wait_for 'the answer 420' has_line '420'
wait_for 'the prompt after the answer' bash -c 'tail_lines=$(grep -v "^$"); [ "$(tail -n 1 <<<"$tail_lines")" = ">" ]'

# 3. INPUT shows "? " and takes the typed reply.
type_line '10 INPUT A'
type_line '20 PRINT "twice: ", A*2'
type_line 'RUN'
wait_for 'the INPUT prompt "? "' has_line '> RUN'
wait_for 'the INPUT prompt "? "' bash -c 'grep -v "^$" | tail -n 1 | grep -qx "?"'
type_line '21'
wait_for 'the line "? 21" (prompt and typed reply)' has_line '? 21'
wait_for 'the program output "twice: 42"' has_line 'twice: 42'

# 4. CLS clears the screen: nothing typed before it stays, and the prompt is back.
type_line 'CLS'
wait_for 'a cleared screen with a prompt' bash -c \
  's=$(cat); ! grep -q "twice\|PRINT\|CLS" <<<"$s" && grep -qx ">" <<<"$s"'

# 5. Ctrl-D at the prompt ends ombrix with status 0.
tm send-keys -t t C-d
deadline=$((SECONDS + timeout_s))
until [ -s "$status_file" ]; do
  [ $SECONDS -gt $deadline ] && fail "ombrix did not exit after Ctrl-D"
  sleep 0.1
done
status=$(cat "$status_file")
[ "$status" = 0 ] || fail "ombrix did not end with status 0 after Ctrl-D (status $status)"

echo "PASS terminal in tmux: prompt, PRINT, INPUT, CLS, Ctrl-D"
exit 0
