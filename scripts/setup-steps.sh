# shellcheck shell=bash
# The set-up's steps, sourced by scripts/setup.sh and scripts/configure.sh:
# each shows one line of its own (on a terminal with a count of what it has
# done so far), while what its command prints goes to .deps/setup.log and to
# $step_output, to be shown in full should it fail.

mkdir -p .deps
log=.deps/setup.log
# The output and status of the last step: shown, and explained, should it fail.
step_output=$(mktemp)
step_status=$(mktemp)
trap 'rm -f "$step_output" "$step_status"' EXIT

# Messages fit an 80-column terminal, broken between words.
# Usage: say TEXT ...  (one paragraph)
say() { fold -s -w 80 <<<"$*" | sed 's/ *$//'; }
# A program's own words, indented.
quote() { fold -s -w 78 | sed 's/ *$//; s/^/  /'; }
# A command to type or paste, indented, its lines joined by backslashes.
say_command() { fold -s -w 75 <<<"$*" | sed 's/ *$//; s/^/  /; $!s/$/ \\/'; }

step_label=
step_line_open=0
on_terminal=0
[[ -t 1 ]] && on_terminal=1
begin_step() {
  step_label=$1
  step_line_open=1
  printf '%s...' "$step_label"
}
# Ends the step's line before something else writes to the terminal (sudo's
# password prompt); the step's next words repeat its label.
break_step_line() {
  ((step_line_open)) || return 0
  step_line_open=0
  printf '\n'
}
# Ends the step's line, with a word such as "done".
end_step() {
  if ((on_terminal)); then
    printf '\r%s...%s\033[K\n' "$step_label" "${1:+ $1}"
  elif ((step_line_open)); then
    printf '%s\n' "${1:+ $1}"
  elif [[ -n "${1:-}" ]]; then
    printf '%s... %s\n' "$step_label" "$1"
  fi
  step_line_open=0
}

# mawk reads a pipe in blocks unless told otherwise, and the counts would
# come in bursts.
awk_line_by_line=()
[[ "$(awk -W version 2>&1 </dev/null)" != *mawk* ]] || awk_line_by_line=(-W interactive)
progress_awk='
  function show(text) {
    if (!tty) return
    printf "\r%s... %s\033[K", label, text
    fflush()
  }
  {
    print >> logfile
    print > step
  }
  kind == "update" && /^(Hit|Get|Ign):/ { show(++sources " sources read") }
  kind == "install" && /^Get:/ { show(++downloaded " of " total " downloaded") }
  kind == "install" && /^Unpacking / { show(++unpacked " of " total " unpacked") }
  kind == "install" && /^Setting up / { show(++configured " of " total " set up") }
  kind == "build" && match($0, /^\[[0-9]+\/[0-9]+\]/) { show(substr($0, 2, RLENGTH - 2) " built") }
'
say_stopping() {
  ((told == 0)) || return 0
  told=1
  printf '\n%s' "Stopping once apt has finished what it began..."
  # On a terminal the count goes on, on a line of its own.
  ((on_terminal == 0)) || printf '\n'
}
# Reads a step's output as above. It ignores Ctrl+C: apt, finishing what it
# began, still writes; during apt's steps it says at once that it heard it.
# Usage: read_step KIND TOTAL
read_step() (
  if [[ "$1" == update || "$1" == install ]]; then
    told=0
    trap say_stopping INT
  else
    trap '' INT
  fi
  # Started in the background, where Ctrl+C does not reach it, so that the
  # wait below returns to the trap at once.
  awk "${awk_line_by_line[@]}" -v kind="$1" -v total="$2" -v label="$step_label" \
    -v tty="$on_terminal" -v logfile="$log" -v step="$step_output" "$progress_awk" <&0 &
  until wait "$!"; do
    kill -0 "$!" 2>/dev/null || break
  done
)
# Runs a step's command with its output read as above; returns its status.
# Usage: run_logged KIND TOTAL COMMAND [ARGUMENTS ...]
run_logged() {
  local kind=$1 total=$2
  shift 2
  : >"$step_output"
  echo 130 >"$step_status"
  {
    trap : INT
    status=0
    "$@" 2>&1 || status=$?
    echo "$status" >"$step_status"
  } | read_step "$kind" "$total"
  return "$(cat "$step_status")"
}
