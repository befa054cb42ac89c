# Stage timing for scripts/test.sh and .ci/run; source it, don't run it.
#
#   stage NAME COMMAND [ARGS...]
#
# runs COMMAND and prints one line with its wall-clock and processor time
# (user + system, of every child process that was waited for). When
# STILLWISE_STAGE_LOG names a file, the line is appended there too, so that
# a caller running several scripts can print one table at the end. A failing
# stage is named on stderr before its status is passed on, so the last lines
# of a long log say where it broke.

# Processor seconds of all waited-for children so far, from bash's `times`
# (its second line: children's user and system time as XmY.YYYs). `times`
# must run in this shell, not in a subshell, whose counts start at zero: it
# writes to a file that awk then reads.
stage_times_file=$(mktemp)
trap 'rm -f "$stage_times_file"' EXIT
stage_children_cpu() {
  awk 'NR == 2 {
    s = 0
    for (i = 1; i <= 2; i++) { split($i, p, "m"); sub("s", "", p[2]); s += p[1] * 60 + p[2] }
    printf "%.1f", s
  }' "$stage_times_file"
}

stage() {
  local name=$1
  shift
  local start cpu0 status=0
  start=$(date +%s.%N)
  times >"$stage_times_file"
  cpu0=$(stage_children_cpu)
  "$@" || status=$?
  local wall cpu line
  wall=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { printf "%.0f", b - a }')
  times >"$stage_times_file"
  cpu=$(awk -v a="$cpu0" -v b="$(stage_children_cpu)" 'BEGIN { printf "%.0f", b - a }')
  line=$(printf '%-28s %6s s  %6s s CPU' "$name" "$wall" "$cpu")
  [ "$status" -eq 0 ] || line="$line  FEHLGESCHLAGEN ($status)"
  echo "== Stufe $line"
  if [ -n "${STILLWISE_STAGE_LOG:-}" ]; then
    echo "$line" >>"$STILLWISE_STAGE_LOG"
  fi
  if [ "$status" -ne 0 ]; then
    echo "== Stufe \"$name\" ist fehlgeschlagen (Status $status)." >&2
  fi
  return "$status"
}
