#!/usr/bin/env bash
# Migration time and memory for large generated control files (make bench).
#
#   bash bench/run.sh [BUILD [BEFORE]]
#
# For each size (BENCH_SIZES, default 10000 100000 1000000 records) it writes a
# control-file image with bench/gen_image, migrates it with the built defshift,
# report to a log file, and prints the wall time, the time per record, the
# processor time and the peak resident memory of the best of BENCH_RUNS runs
# (default 2: the machine may be shared); then the ratio of the 1,000,000 time to
# the 100,000 time. A second row per size, "account", is the same run of BUILD
# writing the account as well (-a), with a line of its ratios to the run
# without; its command file must be the same. A third, "packed", is the run
# with the attributes packed (-p), whose command file must differ only in its
# tavoupdate lines; a line each for the command files of the plain and the
# packed run gives their definitions, commands, commands a definition and size.
# A fourth, "console", is the run with the texts written for the console's code
# page (-c 850:1252), with a line of its ratios to the run without; the images'
# texts are ASCII, so its command file must be the same.
#
# BEFORE (or BENCH_BEFORE), a second build folder, is measured beside BUILD on the
# same images, the runs of the two taking turns so that both see the same load of
# the machine, each round starting with another; each size then has a line for either build and one with the
# ratios of BUILD to BEFORE. The image generator and the wrapper of BUILD serve
# both.
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
BEFORE=${2:-${BENCH_BEFORE:-}}
if [ -n "$BEFORE" ]; then
  case "$BEFORE" in /*) ;; *) BEFORE="$ROOT/$BEFORE" ;; esac
  if [ ! -x "$BEFORE/defshift/defshift" ]; then
    echo "bench: $BEFORE/defshift/defshift is missing; build it first" >&2
    exit 1
  fi
fi
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

# The dates in the command file header and in the report banner and footer; the
# report's line on the File Manager client library, which names paths of this
# machine, goes.
masked() {
  sed -E 's/(command file: generated ).*/\1<time>/; s/(report (started|ended): ).*/\1<time>/
    /^File Manager client: /d' "$1"
}

# One migration of the image in $1/../images by the defshift of build $2, with
# the further options $3 (the account, packing); prints "wall rss_kb status cpu".
migrate() {
  (
    cd "$1"
    rm -f out.cmd out.log out.csv
    read -r -a more <<<"${3:-}"
    QRLNT_SFSDIR=../images "$MEASURE" result "$2/defshift/defshift" -i BENCH -r BENCHREG \
      -o out.cmd -l out.log "${more[@]}" >stdout.txt 2>stderr.txt
    cat result
  )
}

# The line of one build: size, label, then its best "wall rss_kb cpu".
row() {
  read -r seconds rss_kb cpu <<<"$3"
  awk -v n="$1" -v l="$2" -v s="$seconds" -v c="$cpu" -v kb="$rss_kb" 'BEGIN {
    printf "%-10d %-7s %9.2f %11.2f %9.2f %13.1f %13.0f\n", n, l, s, s * 1e6 / n, c, kb / 1024,
      kb * 1024 / n
  }'
}

# The lines of the command files of size $1 in the folder $2, plain and packed:
# definitions (each begins with its dashed remark), commands, commands a
# definition and bytes.
commands_lines() {
  for b in after packed; do
    awk -v n="$1" -v l="${b/after/plain}" '$0 == "@REM ----------------------------------------------" { d++ }
      /^tavo(add|update) / { c++ } { bytes += length($0) + 1 } END {
      printf "%-10d %-7s %d definitions, %d commands, %.2f a definition, %d bytes\n", n, l, d, c,
        (d > 0 ? c / d : 0), bytes }' "$2/$b/out.cmd"
  done
}

status=0
declare -A wall
mix=""
builds=(after account packed console)
[ -n "$BEFORE" ] && builds=(before after account packed console)
printf '%-10s %-7s %9s %11s %9s %13s %13s\n' records build "wall s" "us/record" "cpu s" \
  "peak RSS MB" "RSS B/record"
for n in $SIZES; do
  dir="$WORK/$n"
  mkdir -p "$dir/images"
  mix=$("$GEN" "$n" "$dir/images/BENCH.ctf")
  declare -A best=()
  failed=0
  for ((run = 1; run <= RUNS && failed == 0; run++)); do
    # Each round starts with the next build: a run just after another has given
    # back a gigabyte is slower here (the system takes that memory back first),
    # and no build should always be the one that pays for it.
    first=$(((run - 1) % ${#builds[@]}))
    for b in "${builds[@]:first}" "${builds[@]:0:first}"; do
      folder=$BUILD
      [ "$b" = before ] && folder=$BEFORE
      with_account=0
      options=""
      [ "$b" = account ] && with_account=1 && options="-a out.csv"
      [ "$b" = packed ] && options="-p"
      [ "$b" = console ] && options="-c 850:1252"
      mkdir -p "$dir/$b"
      read -r seconds rss_kb code cpu < <(migrate "$dir/$b" "$folder" "$options") || true
      if [ "$code" != 0 ] || ! grep -q 'report ended' "$dir/$b/out.log" 2>/dev/null ||
        [ ! -s "$dir/$b/out.cmd" ] || { [ "$with_account" = 1 ] && [ ! -s "$dir/$b/out.csv" ]; }; then
        echo "bench: the migration of $n records by $folder failed (status $code); see $dir/$b" >&2
        status=1
        failed=1
        break
      fi
      prev=${best[$b]:-}
      if [ -z "$prev" ] || awk -v a="$seconds" -v b="${prev%% *}" 'BEGIN { exit !(a < b) }'; then
        best[$b]="$seconds $rss_kb $cpu"
      fi
    done
  done
  # The image is large and read once per run; of the outputs only the 100,000-record
  # ones are compared.
  rm -rf "$dir/images"
  if [ "$failed" = 0 ] && ! cmp -s <(masked "$dir/after/out.cmd") <(masked "$dir/account/out.cmd"); then
    echo "bench: the command file of $n records differs with the account; see $dir" >&2
    status=1
  fi
  if [ "$failed" = 0 ] && ! cmp -s <(masked "$dir/after/out.cmd") <(masked "$dir/console/out.cmd"); then
    echo "bench: the command file of $n records differs with -c; see $dir" >&2
    status=1
  fi
  if [ "$failed" = 0 ] && ! cmp -s <(masked "$dir/after/out.cmd" | grep -v '^tavoupdate ') \
    <(masked "$dir/packed/out.cmd" | grep -v '^tavoupdate '); then
    echo "bench: the packed command file of $n records differs in more than its tavoupdate lines; see $dir" >&2
    status=1
  fi
  commands=""
  [ "$failed" = 0 ] && commands=$(commands_lines "$n" "$dir")
  [ "$n" = 100000 ] || rm -f "$dir"/*/out.cmd "$dir"/*/out.log "$dir"/*/out.csv
  [ "$failed" = 0 ] || continue
  for b in "${builds[@]}"; do
    label=$b
    [ -n "$BEFORE" ] || [ "$b" != after ] || label=-
    row "$n" "$label" "${best[$b]}"
  done
  read -r s0 r0 c0 <<<"${best[after]}"
  for b in account console; do
    read -r s1 r1 c1 <<<"${best[$b]}"
    label=acc/no
    [ "$b" = console ] && label=con/no
    awk -v n="$n" -v l="$label" -v s1="$s1" -v s0="$s0" -v c1="$c1" -v c0="$c0" -v r1="$r1" \
      -v r0="$r0" 'BEGIN {
      printf "%-10d %-7s %9.2f %11s %9.2f %13.2f %13s\n", n, l, (s0 > 0 ? s1 / s0 : 0), "",
        (c0 > 0 ? c1 / c0 : 0), (r0 > 0 ? r1 / r0 : 0), ""
    }'
  done
  printf '%s\n' "$commands"
  wall[$n]=${best[after]%% *}
  if [ -n "$BEFORE" ]; then
    read -r s1 r1 c1 <<<"${best[after]}"
    read -r s0 r0 c0 <<<"${best[before]}"
    awk -v n="$n" -v s1="$s1" -v s0="$s0" -v c1="$c1" -v c0="$c0" -v r1="$r1" -v r0="$r0" 'BEGIN {
      printf "%-10d %-7s %9.2f %11s %9.2f %13.2f %13s\n", n, "ratio", (s0 > 0 ? s1 / s0 : 0), "",
        (c0 > 0 ? c1 / c0 : 0), (r0 > 0 ? r1 / r0 : 0), ""
    }'
  fi
done
echo "mix of ${mix%%:*}: ${mix#*: }"
[ -n "$BEFORE" ] && echo "before: $BEFORE; after: $BUILD; ratio: after / before"
echo "best of $RUNS runs; load average $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) processors"

if [ -n "${wall[1000000]:-}" ] && [ -n "${wall[100000]:-}" ]; then
  awk -v a="${wall[1000000]}" -v b="${wall[100000]}" 'BEGIN {
    printf "time ratio 1,000,000 / 100,000 records: %.2f (linear: 10)\n", (b > 0 ? a / b : 0) }'
fi

if [ -f "$WORK/100000/after/out.log" ]; then
  sums=$(cd "$WORK/100000/after" && for f in out.cmd out.log; do
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
    echo "bench: outputs kept in $WORK/100000/after" >&2
    status=1
  fi
fi
exit $status
