#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer in its
# own folder and runs the whole test suite under them, the defshift and ctfimage
# programs that tests start included.
#
#   bash tests/asan.sh [BUILD_FOLDER [JOBS]]     (make test-asan)
#
# The compiler is the one CMake finds (CXX chooses another: g++ or clang++).
# Every sanitizer report, of a test or of a program a test started, is written
# to BUILD_FOLDER/sanitizer-reports: a program whose failure a test expects
# cannot hide a report there. The run fails when a test fails or any report
# was written.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-asan}
jobs=${2:-2}
root=$PWD

case $build in
  /*) reports="$build/sanitizer-reports" ;;
  *) reports="$root/$build/sanitizer-reports" ;;
esac
export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1:log_path=$reports/report"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:log_path=$reports/report"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DDEFSHIFT_SANITIZE=ON
# Test discovery runs the test programs, so the reports folder is set up first.
rm -rf "$reports"
mkdir -p "$reports"
cmake --build "$build" -j "$jobs"

status=0
(cd "$build" && ctest --output-on-failure -j "$jobs") || status=$?

shopt -s nullglob
found=("$reports"/report*)
if [ ${#found[@]} -gt 0 ]; then
  echo "sanitizer reports (${#found[@]}):" >&2
  for f in "${found[@]}"; do
    echo "==== $f" >&2
    cat "$f" >&2
  done
  status=1
fi
exit $status
