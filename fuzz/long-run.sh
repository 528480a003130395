#!/usr/bin/env bash
# The long fuzz run: every target of MANIFEST (lines "name binary seeds")
# for SECONDS in all, as many at a time as there are cores, each given an
# equal share of the cores' time.  Each target grows its corpus in
# FUZZDIR/corpus/<name> (kept between runs) from it and its seeds; an input
# that crashes, leaks, runs out of memory or times out is kept in
# FUZZDIR/artifacts/<name>/ and fails the run.  Prints a line per target:
# its seconds, executions, coverage (edges and features), corpus and
# findings; the logs stay in FUZZDIR/long-run/.
#
#   long-run.sh MANIFEST FUZZDIR SECONDS [JOBS]
set -uo pipefail
if [ $# -lt 3 ]; then
  echo "usage: long-run.sh MANIFEST FUZZDIR SECONDS [JOBS]" >&2
  exit 2
fi
manifest=$1 dir=$2 total=$3
jobs=${4:-$(nproc 2>/dev/null || echo 2)}
mapfile -t rows < <(grep -v '^[[:space:]]*$' "$manifest")
count=${#rows[@]}
[ "$count" -gt 0 ] || { echo "long-run.sh: no targets in $manifest" >&2; exit 2; }
share=$(( total * jobs / count ))
logs=$dir/long-run
mkdir -p "$logs"
echo "fuzzing $count targets, $jobs at a time, $share s each (about $total s in all)"

run_one() {
  local name=$1 binary=$2 seeds=$3
  mkdir -p "$dir/corpus/$name" "$dir/artifacts/$name"
  # Findings of earlier runs stay where they are; this run's are counted.
  "$binary" -max_total_time="$share" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$dir/artifacts/$name/" "$dir/corpus/$name" "$seeds" \
    > "$logs/$name.log" 2>&1
  echo $? > "$logs/$name.status"
}

start=$(date +%s)
for row in "${rows[@]}"; do
  read -r name binary seeds <<< "$row"
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do sleep 5; done
  find "$dir/artifacts/$name" -type f > "$logs/$name.before" 2>/dev/null || : > "$logs/$name.before"
  echo "$(date +%H:%M:%S) $name"
  run_one "$name" "$binary" "$seeds" &
done
wait

printf '\n%-20s %8s %12s %7s %7s %8s %s\n' target seconds executions edges features corpus findings
failed=0
for row in "${rows[@]}"; do
  read -r name _ _ <<< "$row"
  log=$logs/$name.log
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  last=$(grep -E '^#[0-9]+' "$log" | grep -E ' cov: ' | tail -n 1)
  edges=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<< "$last")
  features=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<< "$last")
  corpus=$(find "$dir/corpus/$name" -type f | wc -l)
  found=$(comm -13 <(sort "$logs/$name.before") <(find "$dir/artifacts/$name" -type f | sort))
  status=$(cat "$logs/$name.status" 2>/dev/null || echo '?')
  findings=none
  if [ -n "$found" ] || [ "$status" != 0 ]; then
    findings="exit $status: $(echo $found)"
    failed=1
  fi
  printf '%-20s %8s %12s %7s %7s %8s %s\n' "$name" "$share" "${execs:-?}" "${edges:-?}" \
    "${features:-?}" "$corpus" "$findings"
done
echo "took $(( $(date +%s) - start )) s"
exit $failed
