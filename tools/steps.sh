# Steps of a check script, sourced by tools/check.sh. Each step runs with errexit on (its first
# failing command fails it), a failing step does not stop the steps after it, and the script ends
# on one line saying how many steps passed and failed, which ones, which did not run, and its exit
# status (1 when any step failed, else 0):
#   source tools/steps.sh
#   step NAME COMMAND [ARG...]                  runs COMMAND as the step NAME
#   step_after NAME BEFORE COMMAND [ARG...]     the same, not run when the step BEFORE failed
#   step_not_run NAME REASON                    a step that cannot run here
#   steps_end PROGRAM                           the summary line, then exit with the status
steps_passed=()
steps_failed=()
steps_skipped=()

step() {
  local name=$1 rc
  shift
  echo "== $name"
  set +e
  (
    set -e
    "$@"
  )
  rc=$?
  set -e
  if [ "$rc" -eq 0 ]; then
    steps_passed+=("$name")
  else
    echo "== $name failed (status $rc)" >&2
    steps_failed+=("$name")
  fi
}

step_after() {
  local name=$1 before=$2 f
  shift 2
  for f in "${steps_failed[@]}" "${steps_skipped[@]}"; do
    if [ "$f" = "$before" ]; then
      steps_skipped+=("$name (after $before failed)")
      return 0
    fi
  done
  step "$name" "$@"
}

step_not_run() {
  steps_skipped+=("$1 ($2)")
}

# Its arguments joined by ", ", or "none".
steps_join() {
  local s="" a
  for a in "$@"; do s+="${s:+, }$a"; done
  echo "${s:-none}"
}

steps_end() {
  local program=$1 status=0 detail
  [ ${#steps_failed[@]} -eq 0 ] || status=1
  detail="passed: $(steps_join "${steps_passed[@]}")"
  [ ${#steps_failed[@]} -eq 0 ] || detail="failed: $(steps_join "${steps_failed[@]}"); $detail"
  [ ${#steps_skipped[@]} -eq 0 ] || detail+="; not run: $(steps_join "${steps_skipped[@]}")"
  echo "$program: ${#steps_passed[@]} passed, ${#steps_failed[@]} failed ($detail); exit status $status"
  exit "$status"
}
