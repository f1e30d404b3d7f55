#!/usr/bin/env bash
# The Windows builds of defshift, cross-compiled on Debian with the MinGW-w64
# compilers. `make windows`, `make test-windows` and .ci/run all come here, so
# that developers and CI build and check the same way.
#
#   windows/build.sh package   builds both targets, checks their export and
#                              import tables and packs out/defshift-win64/ and
#                              out/defshift-win32/ (and a .zip of each when zip
#                              is installed)
#   windows/build.sh test      builds the x86_64 target with its tests and runs
#                              the suite and the sample migration under Wine
#   windows/build.sh ci        both, with warnings as errors
#
# This folder: the toolchain files of the two targets, this script, and
# README.txt, the README for Windows users that goes into each package.
#
# Needs g++-mingw-w64-x86-64, g++-mingw-w64-i686, and for `test` googletest
# (its sources in /usr/src/googletest, built inside the build folder) and
# wine64. Only the 64-bit Wine loader is used: the i686 target is built and
# inspected, never run. Build folders: $WIN64_BUILD (build-win64) and
# $WIN32_BUILD (build-win32); $JOBS parallel jobs (2).
set -euo pipefail
cd "$(dirname "$0")/.."

WIN64_BUILD=${WIN64_BUILD:-build-win64}
WIN32_BUILD=${WIN32_BUILD:-build-win32}
JOBS=${JOBS:-2}
GTEST_SOURCE=${GTEST_SOURCE:-/usr/src/googletest}
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
WERROR=OFF

step() { echo "== $*"; }
fail() {
  echo "windows/build.sh: $*" >&2
  exit 1
}

# The folder and the compiler prefix of a target (win64 or win32).
build_dir() { if [ "$1" = win64 ]; then echo "$WIN64_BUILD"; else echo "$WIN32_BUILD"; fi; }
triplet() { if [ "$1" = win64 ]; then echo x86_64-w64-mingw32; else echo i686-w64-mingw32; fi; }

# Wine keeps its state in a prefix inside the x86_64 build folder. Its server
# runs from the first Wine program to the end of the script, with the services
# that wineboot starts already up: a service started by a test would hold the
# test's output pipes open, and parallel programs without a lasting server
# fail at random.
wine_up=0
start_wine() {
  [ $wine_up = 1 ] && return
  [ -x "$WINE" ] || fail "wine64 is not installed ($WINE)"
  mkdir -p "$WIN64_BUILD/wineprefix"
  export WINEPREFIX
  WINEPREFIX=$(cd "$WIN64_BUILD/wineprefix" && pwd)
  export WINEDEBUG=-all
  # Started here, or already up for this prefix.
  "$WINESERVER" -p 2>/dev/null || true
  wine_up=1
  "$WINE" wineboot >/dev/null 2>&1
  "$WINE" cmd /c exit >/dev/null 2>&1
}
stop_wine() { if [ $wine_up = 1 ]; then "$WINESERVER" -k || true; fi; }
trap stop_wine EXIT

# build TARGET TESTS(ON|OFF)
build() {
  local target=$1 tests=$2 dir t
  dir=$(build_dir "$target")
  t=$(triplet "$target")
  command -v "$t-g++-posix" >/dev/null || fail "$t-g++-posix is not installed"
  local args=(-S . -B "$dir" --toolchain "windows/toolchain-$t.cmake"
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDEFSHIFT_WERROR=$WERROR -DDEFSHIFT_TESTS=$tests)
  if [ "$tests" = ON ]; then args+=(-DDEFSHIFT_GTEST_SOURCE="$GTEST_SOURCE"); fi
  # The x86_64 build runs its programs (the sample image, the tests) under Wine.
  if [ "$target" = win64 ] && [ -x "$WINE" ]; then
    start_wine
    args+=(-DCMAKE_CROSSCOMPILING_EMULATOR="$WINE")
  fi
  step "configure $target ($dir)"
  cmake --no-warn-unused-cli "${args[@]}" >/dev/null
  step "build $target"
  local start=$SECONDS
  cmake --build "$dir" -j "$JOBS"
  echo "build $target: $((SECONDS - start)) s"
}

exports() { "$1-objdump" -p "$2" | awk '/^\[Ordinal\/Name Pointer\] Table/ {f = 1; next}
  f && NF == 0 {f = 0} f {print $NF}' | sort | tr '\n' ' ' | sed 's/ $//'; }
imports_from() { "$1-objdump" -p "$2" | awk -v dll="$3" '$0 ~ "DLL Name: " dll "$" {f = 1; getline; next}
  f && NF == 0 {f = 0} f {print $NF}' | sort | tr '\n' ' ' | sed 's/ $//'; }
dlls() { "$1-objdump" -p "$2" | awk '/DLL Name:/ {print $3}' | sort | tr '\n' ' ' | sed 's/ $//'; }

expect() { # what file expected actual
  if [ "$3" != "$4" ]; then
    fail "$2: $1 are '$4', expected '$3'"
  fi
  echo "ok  $2: $1: $4"
}

# The names that cross the boundaries of the DLLs, and nothing else; and no
# DLL of the compiler's run time, so that the package needs only the system's.
check() {
  local target=$1 dir t qrlnt_names
  dir=$(build_dir "$target")/bin
  t=$(triplet "$target")
  step "check export and import tables of $target"
  local texts="Copyright NewTAVOName NewTAVOName2 OldTAVOName OldTAVOName2 Title"
  # Area tokens exist only where addresses are wider than the request block's fields.
  if [ "$target" = win64 ]; then qrlnt_names="QRLAREA QRSEND"; else qrlnt_names="QRSEND"; fi
  expect "exports" defshiftcore.dll "$texts transmain" "$(exports "$t" "$dir/defshiftcore.dll")"
  expect "exports" qrlnt.dll "$qrlnt_names" "$(exports "$t" "$dir/qrlnt.dll")"
  expect "imports from qrlnt.dll" defshiftcore.dll "$qrlnt_names" \
    "$(imports_from "$t" "$dir/defshiftcore.dll" qrlnt.dll)"
  expect "imports from defshiftcore.dll" defshift.exe "$texts transmain" \
    "$(imports_from "$t" "$dir/defshift.exe" defshiftcore.dll)"
  local f
  for f in defshift.exe defshiftcore.dll qrlnt.dll ctfimage.exe; do
    local own
    own=$(dlls "$t" "$dir/$f" | tr ' ' '\n' | grep -iv -e '^KERNEL32.dll$' -e '^msvcrt.dll$' \
      -e '^defshiftcore.dll$' -e '^qrlnt.dll$' | tr '\n' ' ' || true)
    [ -z "$own" ] || fail "$f: needs DLLs that Windows does not have: $own"
    echo "ok  $f: needs no DLL beyond KERNEL32.dll, msvcrt.dll and its own"
  done
}

# A text file for Windows: lines end in CR LF.
crlf() { sed 's/\r$//; s/$/\r/'; }

package() {
  local target=$1 dir t out
  dir=$(build_dir "$target")/bin
  t=$(triplet "$target")
  out=out/defshift-$target
  step "pack $out"
  rm -rf "$out"
  mkdir -p "$out"
  local f
  for f in defshift.exe defshiftcore.dll qrlnt.dll ctfimage.exe; do
    "$t-strip" --strip-debug -o "$out/$f" "$dir/$f"
  done
  crlf <windows/README.txt >"$out/README.txt"
  groff -man -Tascii -P -c defshift/defshift.1 2>/dev/null | col -bx | crlf >"$out/defshift.txt"
  [ -s "$out/defshift.txt" ] || fail "the man page did not format"
  crlf <samples/ordentry.desc >"$out/ordentry.desc"
  if command -v zip >/dev/null; then
    rm -f "$out.zip"
    (cd out && zip -qr "defshift-$target.zip" "defshift-$target")
    echo "packed $out and $out.zip"
  else
    echo "packed $out (zip is not installed: no .zip)"
  fi
}

# The whole suite under Wine, then the sample migration by hand: the same
# command file and report as the golden ones of the Linux build, apart from the
# times and the line ends, and the times are real dates; the same account, byte
# for byte.
test_win64() {
  start_wine
  local dir=$WIN64_BUILD
  step "run the test suite under Wine"
  local start=$SECONDS
  ctest --test-dir "$dir" -j "$JOBS" --output-on-failure
  echo "test suite under Wine: $((SECONDS - start)) s"

  step "migrate the sample under Wine"
  local run exe
  run=$(mktemp -d)
  exe=$(cd "$dir/bin" && pwd)/defshift.exe
  cp "$dir/samples/ORDENTRY.ctf" "$run/"
  (cd "$run" && "$WINE" "$exe" -i ORDENTRY -r ORDERS -l report.log >/dev/null)
  local time_re='(Mon|Tue|Wed|Thu|Fri|Sat|Sun) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) [ 0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-6][0-9] [0-9]{4}'
  local name golden
  for name in migratetavo.cmd:ordentry.cmd report.log:ordentry.log; do
    golden=tests/golden/${name#*:}
    name=${name%%:*}
    grep -qE "$time_re" "$run/$name" || fail "$name holds no real time"
    grep -q '????' "$run/$name" && fail "$name holds an unknown time"
    if ! sed 's/\r$//' "$run/$name" | sed -E "s/$time_re/<time>/g" | diff -u "$golden" -; then
      fail "$name of the Windows build differs from $golden"
    fi
    echo "ok  $name equals $golden (times masked, CR LF folded)"
  done
  # The account has no times and ends its lines in CR LF everywhere: the same
  # bytes as the Linux build's.
  (cd "$run" && "$WINE" "$exe" -i ORDENTRY -r ORDERS -o account.cmd -a account.csv >/dev/null)
  cmp "$run/account.csv" tests/golden/ordentry.csv ||
    fail "account.csv of the Windows build differs from tests/golden/ordentry.csv"
  echo "ok  account.csv equals tests/golden/ordentry.csv byte for byte"
  rm -rf "$run"
}

[ $# -ge 1 ] || fail "usage: windows/build.sh package|test|ci"
# The trap may run inside a function, where $1 is that function's.
step=$1
trap 'stop_wine; echo "windows/build.sh $step: $SECONDS s"' EXIT
case $step in
  package)
    build win64 OFF
    build win32 OFF
    check win64
    check win32
    package win64
    package win32
    ;;
  test)
    build win64 ON
    test_win64
    ;;
  ci)
    WERROR=ON
    build win64 ON
    build win32 OFF
    check win64
    check win32
    test_win64
    package win64
    package win32
    ;;
  *) fail "usage: windows/build.sh package|test|ci" ;;
esac
