#!/usr/bin/env bash
# Migration time and memory for large generated control files (make bench).
#
#   bash bench/run.sh [BUILD]
#
# For each size (BENCH_SIZES, default 10000 100000 1000000 records) it writes a
# control-file image with bench/gen_image, migrates it with the built defshift,
# report to a log file, and prints the wall time, the time per record, the
# processor time and the peak resident memory of the best of BENCH_RUNS runs
# (default 2: the machine may be shared); then the ratio of the 1,000,000 time to
# the 100,000 time.
#
# The command file and the log of the 100,000-record run, with their times masked,
# must match the checksums in bench/reference_100000.sha256: a faster run that
# writes anything else is a failure. After a deliberate change of the command
# file or the report, BENCH_RECORD=1 writes the new checksums.
#
# Exit status 0 when every run migrated and the outputs match; 1 otherwise. The
# times are reported, not judged: they depend on the machine and its load.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${1:-build}
case "$BUILD" in /*) ;; *) BUILD="$ROOT/$BUILD" ;; esac
SIZES=${BENCH_SIZES:-10000 100000 1000000}
RUNS=${BENCH_RUNS:-2}
REFERENCE="$ROOT/bench/reference_100000.sha256"

DEFSHIFT="$BUILD/defshift/defshift"
GEN="$BUILD/bench/gen_image"
MEASURE="$BUILD/bench/measure"
for program in "$DEFSHIFT" "$GEN" "$MEASURE"; do
  if [ ! -x "$program" ]; then
    echo "bench: $program is missing; build first (make build BUILD=$BUILD)" >&2
    exit 1
  fi
done

WORK="$BUILD/bench-work"
rm -rf "$WORK"
mkdir -p "$WORK"

# The dates in the command file header and in the report banner and footer.
masked() {
  sed -E 's/(command file: generated ).*/\1<time>/; s/(report (started|ended): ).*/\1<time>/' "$1"
}

# One migration of the image in $1/images; prints "wall rss_kb status cpu".
migrate() {
  (
    cd "$1"
    rm -f out.cmd out.log
    QRLNT_SFSDIR=images "$MEASURE" result "$DEFSHIFT" -i BENCH -r BENCHREG -o out.cmd -l out.log \
      >stdout.txt 2>stderr.txt
    cat result
  )
}

status=0
declare -A wall
mix=""
printf '%-10s %9s %11s %9s %13s %13s\n' records "wall s" "us/record" "cpu s" "peak RSS MB" \
  "RSS B/record"
for n in $SIZES; do
  dir="$WORK/$n"
  mkdir -p "$dir/images"
  mix=$("$GEN" "$n" "$dir/images/BENCH.ctf")
  best=""
  for ((run = 1; run <= RUNS; run++)); do
    read -r seconds rss_kb code cpu < <(migrate "$dir") || true
    if [ "$code" != 0 ] || ! grep -q 'report ended' "$dir/out.log" 2>/dev/null ||
      [ ! -s "$dir/out.cmd" ]; then
      echo "bench: the migration of $n records failed (status $code); see $dir" >&2
      status=1
      best=""
      break
    fi
    if [ -z "$best" ] || awk -v a="$seconds" -v b="${best%% *}" 'BEGIN { exit !(a < b) }'; then
      best="$seconds $rss_kb $cpu"
    fi
  done
  # The image is large and read once per run; of the outputs only the 100,000-record
  # ones are compared.
  rm -rf "$dir/images"
  [ "$n" = 100000 ] || rm -f "$dir/out.cmd" "$dir/out.log"
  [ -n "$best" ] || continue
  read -r seconds rss_kb cpu <<<"$best"
  wall[$n]=$seconds
  awk -v n="$n" -v s="$seconds" -v c="$cpu" -v kb="$rss_kb" 'BEGIN {
    printf "%-10d %9.2f %11.2f %9.2f %13.1f %13.0f\n", n, s, s * 1e6 / n, c, kb / 1024, kb * 1024 / n
  }'
done
echo "mix of ${mix%%:*}: ${mix#*: }"
echo "best of $RUNS runs; load average $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) processors"

if [ -n "${wall[1000000]:-}" ] && [ -n "${wall[100000]:-}" ]; then
  awk -v a="${wall[1000000]}" -v b="${wall[100000]}" 'BEGIN {
    printf "time ratio 1,000,000 / 100,000 records: %.2f (linear: 10)\n", (b > 0 ? a / b : 0) }'
fi

if [ -f "$WORK/100000/out.log" ]; then
  sums=$(cd "$WORK/100000" && for f in out.cmd out.log; do
    printf '%s  %s\n' "$(masked "$f" | sha256sum | cut -d' ' -f1)" "$f"
  done)
  if [ "${BENCH_RECORD:-0}" = 1 ]; then
    printf '%s\n' "$sums" >"$REFERENCE"
    echo "100,000-record outputs recorded in $REFERENCE"
  elif [ ! -f "$REFERENCE" ]; then
    echo "bench: no reference checksums in $REFERENCE" >&2
    status=1
  elif [ "$sums" = "$(cat "$REFERENCE")" ]; then
    echo "100,000-record command file and log: identical to the reference (times masked)"
  else
    echo "bench: the 100,000-record outputs differ from the reference (times masked):" >&2
    diff <(printf '%s\n' "$sums") "$REFERENCE" >&2 || true
    echo "bench: outputs kept in $WORK/100000" >&2
    status=1
  fi
fi
exit $status
