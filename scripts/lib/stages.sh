# Runs the test command's stages in lanes beside one another, and the slow
# preparations (roots, toolchains) in the background, each with a log of its
# own, and keeps their times for a timeline. A stage's log is shown whole
# when it ends, so lanes never interleave their lines. Sourced by
# scripts/test.

# stages_begin DIR: logs and times go to DIR, made anew.
stages_begin() {
  STAGES=$1
  rm -rf "$STAGES" && mkdir -p "$STAGES"
  STAGES_T0=$(date +%s)
}

# _stage_run NAME COMMAND...: runs COMMAND with its output in NAME.log and
# writes NAME.done: start and end in seconds from the beginning, and status.
# Never called as a condition: that would lift `set -e` inside COMMAND.
_stage_run() {
  local name=$1 start status=0
  shift
  start=$(($(date +%s) - STAGES_T0))
  # A job of its own, so that an `exit` in COMMAND ends the stage, not the run.
  "$@" >"$STAGES/$name.log" 2>&1 </dev/null &
  wait $! || status=$?
  _stage_done "$name" "$start" "$status"
}

# _stage_done NAME START STATUS: writes NAME.done whole, for await_stage.
_stage_done() {
  echo "$2 $(($(date +%s) - STAGES_T0)) $3" >"$STAGES/$1.partial"
  mv "$STAGES/$1.partial" "$STAGES/$1.done"
}

# _stage_show NAME [TEXT]: prints TEXT and NAME's log, one writer at a time.
_stage_show() {
  (
    flock 9
    local start end _status
    read -r start end _status <"$STAGES/$1.done"
    echo "== $1 ($((end - start)) s)${2:+: $2}"
    cat "$STAGES/$1.log"
  ) 9>"$STAGES/.print"
}

# prepare NAME [--nice N] COMMAND...: starts a preparation in the
# background, at niceness N when given.
prepare() {
  local name=$1 nice=0
  shift
  if [[ $1 == --nice ]]; then
    nice=$2
    shift 2
  fi
  touch "$STAGES/$name.started"
  (
    renice -n "$nice" -p "$BASHPID" >/dev/null
    _stage_run "$name" "$@"
  ) &
}

# await_stage NAME: waits for the preparation or stage NAME; its status. A
# preparation never started (a run not as root makes no roots) holds nothing
# up.
await_stage() {
  while [[ ! -e $STAGES/$1.done ]]; do
    [[ -e $STAGES/$1.started ]] || return 0
    sleep 1
  done
  local _start _end status
  read -r _start _end status <"$STAGES/$1.done"
  return "$status"
}

# stage NAME [--after PREPARATION] COMMAND...: runs a stage in the calling
# lane. One whose preparation failed does not run: it fails with the
# preparation's log, and the lane goes on with its next stage.
stage() {
  local name=$1 after=
  shift
  if [[ $1 == --after ]]; then
    after=$2
    shift 2
  fi
  if [[ -n $after ]] && ! await_stage "$after"; then
    echo "its preparation $after failed; the preparation's log:" >"$STAGES/$name.log"
    cat "$STAGES/$after.log" >>"$STAGES/$name.log"
    _stage_done "$name" $(($(date +%s) - STAGES_T0)) 1
    _stage_show "$name" FAILED
    return 0
  fi
  _stage_run "$name" "$@"
  if await_stage "$name"; then
    _stage_show "$name"
  else
    _stage_show "$name" FAILED
  fi
}

# lane FUNCTION: runs FUNCTION's stages in the background, one after another.
lane() {
  "$1" &
}

# stages_end: waits for every lane and preparation, prints the timeline
# (a bar a line, 60 columns for the whole run) and a count, and fails when
# anything failed, naming it.
stages_end() {
  wait
  local total=$(($(date +%s) - STAGES_T0 + 1)) name start end status bar count=0 failed=()
  echo "== timeline: seconds from the start of scripts/test"
  printf '%-15s %5s %5s %7s\n' "" start end seconds
  while read -r name start end status; do
    printf -v bar '%*s' $(((end - start) * 60 / total + 1)) ''
    printf '%-15s %5d %5d %7d  %*s%s%s\n' "$name" "$start" "$end" $((end - start)) \
      $((start * 60 / total)) '' "${bar// /#}" "$( ((status == 0)) || echo ' FAILED')"
    ((status == 0)) || failed+=("$name")
    count=$((count + 1))
  done < <(for done in "$STAGES"/*.done; do
    echo "$(basename "$done" .done) $(cat "$done")"
  done | sort -n -k2 -k3)
  echo "total: $((total - 1)) s"
  ((${#failed[@]} == 0)) || echo "failed: ${failed[*]}"
  echo "stages: $((count - ${#failed[@]})) passed, ${#failed[@]} failed"
  ((${#failed[@]} == 0))
}

# stages_stop: ends whatever the run still has going, down to the Wine
# processes, so that a run cut short leaves nothing running; each group's
# own trap then undoes its mounts.
stages_stop() {
  local pids
  pids=$(_stages_below $$)
  # shellcheck disable=SC2086 # one pid a word
  [[ -z $pids ]] || kill $pids 2>/dev/null || true
  wait || true
}

_stages_below() {
  local child
  for child in $(pgrep -P "$1"); do
    echo "$child"
    _stages_below "$child"
  done
}
