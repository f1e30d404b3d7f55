#!/usr/bin/env bash
# Bounded fuzzing of the migration, of every kind of command file and of the
# defshift option scan (make fuzz).
#
#   bash tests/fuzz/run.sh            each target for FUZZ_SECONDS (default 60)
#   bash tests/fuzz/run.sh --replay   each target once over its seeds and the
#                                     inputs of earlier findings, no fuzzing
#
# Builds the targets with clang++ and libFuzzer in FUZZ_BUILD (default
# build-fuzz). The seeds are made from the sample control files and the
# descriptions in tests/fuzz/seeds, and the inputs of earlier findings in
# tests/fuzz/regressions are always among them. What the fuzzer adds to the
# corpus stays in FUZZ_BUILD/corpus for the next run. A finding leaves its input
# in FUZZ_BUILD/findings and fails the run; `FUZZ_BUILD/fuzz_seeds --dump INPUT`
# shows a migration input as a control-file description.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
build=${FUZZ_BUILD:-build-fuzz}
seconds=${FUZZ_SECONDS:-60}
mode=fuzz
[ "${1:-}" = "--replay" ] && mode=replay

cxx=${FUZZ_CXX:-clang++}
if ! command -v "$cxx" >/dev/null 2>&1 ||
   [ -z "$("$cxx" -print-file-name=libclang_rt.fuzzer-x86_64.a | grep /)" ]; then
  echo "run.sh: the fuzz targets need $cxx with libFuzzer (Debian: clang and libclang-rt-14-dev)" >&2
  exit 1
fi

cmake -S tests/fuzz -B "$build" -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "${JOBS:-2}"

# Leaks are looked for after every input: the list nodes, which the migration
# keeps until the process ends, are the one thing let pass. Freed memory is held
# back from reuse (the quarantine) for 16 MB of later frees rather than 256: an
# execution frees some 40 to 150 KB, so a use after free within one is still
# found, while the memory handed out stays in use instead of being fresh pages
# every time. Reports show ten frames of where a block was taken and freed
# rather than thirty, which every allocation would otherwise record.
export ASAN_OPTIONS="detect_leaks=1:strict_string_checks=1:quarantine_size_mb=16:malloc_context_size=10"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"

seeds="$build/seeds"
rm -rf "$seeds"
mkdir -p "$seeds/migration" "$seeds/options" "$seeds/command_files" "$build/findings"

shopt -s nullglob
descriptions=(samples/*.desc tests/fuzz/seeds/*.desc)
for text in samples/*.txt; do
  [ "${text##*/}" = CMakeLists.txt ] || descriptions+=("$text")
done
"$build/fuzz_seeds" "$seeds/migration" "${descriptions[@]}"

# Every kind of command file of each control file: the first record holds the
# options (1 -e, 2 -j, 4 -p, 8 the longest region) and the journal, where \x1f
# and a byte k stand for the journal line of the k-th command of the file
# (journal_all: the first 64, every command of most seeds).
kinds=(checked:'\x01' packed:'\x04' checked_packed:'\x05' journal_none:'\x02'
       journal_two:'\x06\x1f\x00\x1f\x01' long_region:'\x0d')
all=$'\x03'
for k in $(seq 0 63); do all+=$'\x1f'"$(printf '\\x%02x' "$k")"; done
for input in "$seeds/migration"/*; do
  name=${input##*/}
  for kind in "${kinds[@]}"; do
    { printf -- "${kind#*:}"; printf '\x1eRS\x1e'; cat "$input"; } \
      >"$seeds/command_files/$name-${kind%%:*}"
  done
  { printf -- "$all"; printf '\x1eRS\x1e'; cat "$input"; } >"$seeds/command_files/$name-journal_all"
done
# Journals as runs leave them (\x1c and k: a line without its end): a line cut
# short, a cut line joined by the next run, NUL bytes after the last line, no
# end after it, and a line of no run.
sample="$seeds/migration/ordentry-part1"
journal_seed() {
  { printf -- "$2"; printf '\x1eRS\x1e'; cat "$sample"; } >"$seeds/command_files/journal-$1"
}
journal_seed cut '\x02\x1f\x00DSJ1 0123'
journal_seed joined '\x02DSJ1 01\x1f\x01\x1f\x02'
journal_seed nul_tail '\x02\x1f\x00\x1c\x01\x00\x00'
journal_seed no_end '\x06\x1f\x00\x1c\x01'
journal_seed foreign '\x02\x1f\x00not a journal line\r\n\x1f\x01'
# Start lines (\x1d and k) and end lines (\x1b): a tavoadd in doubt, one that
# failed before the run's end, one that succeeded.
journal_seed in_doubt '\x06\x1f\x01\x1b\x1d\x00'
journal_seed start_failed '\x02\x1d\x00\x1b'
journal_seed start_passed '\x02\x1d\x00\x1f\x00\x1b'

# Command lines, arguments ended by NUL bytes.
options_seed() { printf -- "$2" >"$seeds/options/$1"; }
options_seed none ''
options_seed help '-h'
options_seed full '-i\0CTL\0-r\0REGION\0-o\0out.cmd\0-l\0run.log'
options_seed slashes '/I\0CTL\0/R\0REGION\0/L'
options_seed default_log '-l\0-i\0CTL\0-r\0REGION'
options_seed missing '-i\0-r\0-o'
options_seed empty_values '-i\0\0-r\0\0-o\0\0-l\0'
options_seed twice '-i\0A\0-i\0B\0-r\0R1\0-r\0R2\0-x\0stray'

for target in migration command_files options; do
  for input in tests/fuzz/regressions/$target/*; do cp "$input" "$seeds/$target/"; done
done

status=0
for target in migration command_files options; do
  corpus="$build/corpus/$target"
  mkdir -p "$corpus"
  log="$build/$target.log"
  # -max_len as kLongestInput in raw_records.h; the seeds are made to fit it.
  dict=tests/fuzz/$target.dict
  [ "$target" = command_files ] && dict=tests/fuzz/migration.dict
  args=(-dict="$dict" -max_len=4096 -timeout=25 -rss_limit_mb=4096
        -close_fd_mask=3 -print_final_stats=1
        -artifact_prefix="$build/findings/$target-")
  if [ "$mode" = replay ]; then
    args+=(-runs=0 "$seeds/$target")
  else
    args+=(-max_total_time="$seconds" "$corpus" "$seeds/$target")
  fi
  echo "== $target: $mode" >&2
  rc=0
  "$build/${target}_fuzzer" "${args[@]}" >"$log" 2>&1 || rc=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  rss=$(sed -n 's/^stat::peak_rss_mb: *//p' "$log" | tail -1)
  if [ "$mode" = replay ]; then
    echo "$target: ${runs:-?} inputs replayed (log $log)"
  else
    echo "$target: ${runs:-?} executions, ${speed:-?} per second, peak memory ${rss:-?} MB," \
         "corpus $(ls "$corpus" | wc -l) inputs (log $log)"
  fi
  if [ $rc -ne 0 ]; then
    echo "$target: FINDING (exit status $rc):" >&2
    grep -E "ERROR|SUMMARY|fault|artifact|Test unit written" "$log" >&2 || tail -40 "$log" >&2
    status=1
  fi
done
exit $status
