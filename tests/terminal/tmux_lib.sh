# Helpers for the tests that drive ombrix in a real terminal (a tmux pane),
# sourced by tmux_*_test.sh after they set `binary`. Without tmux a test is
# skipped (exit 77), except under CI (CI set), where a missing tmux is a
# failure.
set -u
# Generous: each wait ends as soon as the screen shows what it waits for,
# and a loaded machine (tests run in parallel, or under the sanitizers) can
# be slow to redraw.
timeout_s=${OMBRIX_TMUX_TIMEOUT:-60}

if ! command -v tmux >/dev/null; then
  if [ -n "${CI:-}" ]; then
    echo "FAIL: tmux is not installed, and CI must run this test (.ci/run installs it)"
    exit 1
  fi
  echo "SKIP: tmux is not installed"
  exit 77
fi

socket="ombrix-test-$$"
# Scratch space: the exit status file, a HOME of its own (so that no test
# reads or writes the user's ~/.ombrix_history or ~/.editrc), history files.
work=$(mktemp -d)
mkdir "$work/home"
tm() { tmux -L "$socket" -f /dev/null "$@"; }
cleanup() { tm kill-server >/dev/null 2>&1; rm -rf "$work"; }
trap cleanup EXIT

# The pane's shell runs ombrix and writes its exit status to a file. tmux's
# own record of a dead pane's status is not reliable: it can miss the
# child's exit (seen with a sanitizer build, whose leak check runs at exit)
# and leave the status empty forever, with ombrix long gone. The shell shares
# ombrix's process group (it has no job control), so Ctrl-C reaches it too:
# it traps SIGINT to live on, and ombrix, which it starts, still begins with
# SIGINT at its default, as under an interactive shell. The shell's process
# id goes to a file, so that ombrix can be found as its child.
cat >"$work/run.sh" <<'END_OF_RUNNER'
status_file=$1 out_file=$2
shift 2
echo $$ >"${status_file%/*}/shell_pid"
trap : INT
if [ -n "$out_file" ]; then
  "$@" >"$out_file"
else
  "$@"
fi
echo $? >"$status_file"
END_OF_RUNNER

# start_ombrix [NAME=VALUE...] [--] [ARG...]: ombrix in a fresh 160x24 pane,
# with these variables set in its environment besides HOME. With OUT set,
# its standard output goes to the file OUT names instead of the screen.
start_ombrix() {
  local vars=()
  while [ $# -gt 0 ] && [[ $1 == *=* ]]; do vars+=("$1"); shift; done
  [ "${1:-}" = "--" ] && shift
  tm kill-session -t t >/dev/null 2>&1
  rm -f "$work/status" "$work/shell_pid"
  tm new-session -d -s t -x 160 -y 24 "$(printf '%q ' bash "$work/run.sh" "$work/status" "${OUT:-}" \
    env "HOME=$work/home" "${vars[@]}" "$binary" "$@")" || { echo "FAIL: tmux could not start a session"; exit 1; }
  tm set-option -t t remain-on-exit on >/dev/null
}

# The process id of the running ombrix.
ombrix_pid() {
  local shell
  shell=$(cat "$work/shell_pid" 2>/dev/null) || return 1
  ps -o pid=,comm= --ppid "$shell" | awk '$2 == "ombrix" { print $1 }'
}

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
has_line() { grep -qFx -- "$1"; }
# wait_for_output FILE TEXT: polls until a line of FILE is exactly TEXT.
wait_for_output() {
  local deadline=$((SECONDS + timeout_s))
  until grep -qFx -- "$2" "$1" 2>/dev/null; do
    [ $SECONDS -gt $deadline ] && fail "timed out after ${timeout_s} s waiting for \"$2\" in the output"
    sleep 0.1
  done
}
# The last line that is not empty is exactly TEXT (capture-pane drops
# trailing blanks, so a bare prompt "> " is ">").
last_line_is() { [ "$(grep -v '^$' | tail -n 1)" = "$1" ]; }
# COUNT lines are exactly TEXT.
line_count_is() { [ "$(grep -cFx -- "$2")" = "$1" ]; }
type_line() { tm send-keys -t t -l -- "$1" && tm send-keys -t t Enter; }
type_text() { tm send-keys -t t -l -- "$1"; }
press() { tm send-keys -t t "$@"; }

# wait_exit: waits for ombrix to end and prints its exit status.
wait_exit() {
  local deadline=$((SECONDS + timeout_s))
  until [ -s "$work/status" ]; do
    [ $SECONDS -gt $deadline ] && fail "ombrix did not exit"
    sleep 0.1
  done
  cat "$work/status"
}
