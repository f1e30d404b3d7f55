#!/usr/bin/env bash
# The Windows builds of defshift, cross-compiled on Debian with the MinGW-w64
# compilers. `make windows`, `make test-windows` and .ci/run all come here, so
# that developers and CI build and check the same way.
#
#   windows/build.sh package   builds what ships for both targets, checks
#                              their export and import tables and PE headers
#                              and packs out/defshift-win64/ and
#                              out/defshift-win32/ (and a .zip of each when zip
#                              is installed)
#   windows/build.sh test      the packages, then each target with its tests:
#                              the suite under Wine, the sample migrated by the
#                              package as shipped, with its stand-in (the
#                              32-bit package also with a __stdcall client
#                              library), and the unzipped package reading
#                              through a client library in the system folder
#   windows/build.sh ci        the same, with warnings as errors
#
# Each target is built twice. What ships is built with the win32 threading
# model of the compilers, whose run time needs only what Windows NT 4.0 has
# ($WIN64_PACKAGE_BUILD, $WIN32_PACKAGE_BUILD: build-win64-package,
# build-win32-package); the tests with the posix model, which GoogleTest and the
# test programs need ($WIN64_BUILD, $WIN32_BUILD: build-win64, build-win32).
# $JOBS parallel jobs (2).
#
# This folder: the toolchain files of the two targets (and of their tests),
# this script, imports.txt (the system functions the packages may import),
# README.txt, the README for Windows users that goes into each package, and
# sample.cmd, which migrates the sample with the stand-in in the package's
# folder $STANDIN.
#
# Needs g++-mingw-w64-x86-64 and g++-mingw-w64-i686 (both threading models),
# and for `test` googletest (its sources in /usr/src/googletest, built inside
# the build folder), wine64 and, for the 32-bit leg, wine32:i386. Where the
# 32-bit Wine loader cannot run a program (no wine32, or a kernel that runs no
# 32-bit programs) the 32-bit leg is skipped with one line that says why.
set -euo pipefail
cd "$(dirname "$0")/.."

WIN64_BUILD=${WIN64_BUILD:-build-win64}
WIN32_BUILD=${WIN32_BUILD:-build-win32}
WIN64_PACKAGE_BUILD=${WIN64_PACKAGE_BUILD:-build-win64-package}
WIN32_PACKAGE_BUILD=${WIN32_PACKAGE_BUILD:-build-win32-package}
JOBS=${JOBS:-2}
GTEST_SOURCE=${GTEST_SOURCE:-/usr/src/googletest}
WINE64=/usr/lib/wine/wine64
WINE32=/usr/lib/wine/wine
WINESERVER=/usr/lib/wine/wineserver
WERROR=OFF
FILES="defshift.exe defshiftcore.dll qrlnt.dll ctfimage.exe"
# The stand-in client library and what serves it go into a folder of their own
# in each package: beside defshift.exe, Windows would load the stand-in before
# the site's qrlnt.dll.
STANDIN=standin
STANDIN_FILES="qrlnt.dll ctfimage.exe"
# Set while a client library lies in the Wine prefix's system folder; removed
# on every way out.
system_copy=

step() { echo "== $*"; }
fail() {
  echo "windows/build.sh: $*" >&2
  exit 1
}

# The compiler prefix, the Wine loader, the test build and the package build of
# a target (win64 or win32).
triplet() { if [ "$1" = win64 ]; then echo x86_64-w64-mingw32; else echo i686-w64-mingw32; fi; }
loader() { if [ "$1" = win64 ]; then echo "$WINE64"; else echo "$WINE32"; fi; }
test_dir() { if [ "$1" = win64 ]; then echo "$WIN64_BUILD"; else echo "$WIN32_BUILD"; fi; }
package_dir() { if [ "$1" = win64 ]; then echo "$WIN64_PACKAGE_BUILD"; else echo "$WIN32_PACKAGE_BUILD"; fi; }

# Wine keeps its state in a prefix inside the x86_64 test build folder, shared
# by both loaders. Its server runs from the first Wine program to the end of
# the script, with the services that wineboot starts already up: a service
# started by a test would hold the test's output pipes open, and parallel
# programs without a lasting server fail at random.
wine_up=0
start_wine() {
  [ $wine_up = 1 ] && return
  [ -x "$WINE64" ] || fail "wine64 is not installed ($WINE64)"
  mkdir -p "$WIN64_BUILD/wineprefix"
  export WINEPREFIX
  WINEPREFIX=$(cd "$WIN64_BUILD/wineprefix" && pwd)
  export WINEDEBUG=-all
  # Started here, or already up for this prefix.
  "$WINESERVER" -p 2>/dev/null || true
  wine_up=1
  "$WINE64" wineboot >/dev/null 2>&1
  "$WINE64" cmd /c exit >/dev/null 2>&1
}
stop_wine() { if [ $wine_up = 1 ]; then "$WINESERVER" -k || true; fi; }

# Whether the 32-bit loader runs a program here; if not, why not in $why_32.
why_32=
runs_32() {
  if [ ! -x "$WINE32" ]; then
    why_32="32-bit Wine is not installed ($WINE32, Debian's wine32:i386)"
    return 1
  fi
  start_wine
  local err rc=0
  err=$("$WINE32" cmd /c exit 2>&1 >/dev/null) || rc=$?
  [ $rc = 0 ] && return 0
  # The last line, without the shell's name for where it ran the loader.
  err=$(printf '%s\n' "$err" | tail -n 1)
  err=${err##*"$WINE32: "}
  if [ $rc = 126 ] || [[ $err == *"Exec format error"* ]]; then
    why_32="this kernel runs no 32-bit programs ($WINE32 cmd /c exit: $err)"
  else
    why_32="$WINE32 cmd /c exit failed with exit status $rc${err:+: $err}"
  fi
  return 1
}

# build TARGET package|tests
build() {
  local target=$1 kind=$2 dir t toolchain tests=OFF
  t=$(triplet "$target")
  if [ "$kind" = package ]; then
    dir=$(package_dir "$target")
    toolchain=windows/toolchain-$t.cmake
    command -v "$t-g++-win32" >/dev/null || fail "$t-g++-win32 is not installed"
  else
    dir=$(test_dir "$target")
    toolchain=windows/toolchain-$t-tests.cmake
    tests=ON
    command -v "$t-g++-posix" >/dev/null || fail "$t-g++-posix is not installed"
  fi
  # The compiler is chosen when a folder is first configured: a folder made
  # with the other threading model starts afresh.
  local want
  want=$(command -v "$t-g++-$([ "$kind" = package ] && echo win32 || echo posix)")
  if [ -f "$dir/CMakeCache.txt" ] && ! grep -qx "CMAKE_CXX_COMPILER:[A-Z]*=$want" "$dir/CMakeCache.txt"; then
    rm -rf "$dir/CMakeCache.txt" "$dir/CMakeFiles"
  fi
  local args=(-S . -B "$dir" --toolchain "$toolchain"
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDEFSHIFT_WERROR=$WERROR -DDEFSHIFT_TESTS=$tests)
  if [ $tests = ON ]; then
    # The tests run their programs (and the sample image is built) under Wine.
    # Optimised as what ships, but without debugging information, which no
    # one reads under Wine and which costs a third of the compile time and
    # more of the linking.
    start_wine
    args+=(-DDEFSHIFT_GTEST_SOURCE="$GTEST_SOURCE" -DCMAKE_CROSSCOMPILING_EMULATOR="$(loader "$target")"
      "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -DNDEBUG" "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O2 -DNDEBUG")
  fi
  # The 32-bit package comes with a second stand-in whose QRSEND is __stdcall.
  if [ "$target" = win32 ] && [ "$kind" = package ]; then args+=(-DQRLNT_STDCALL=ON); fi
  step "configure $target $kind ($dir)"
  cmake --no-warn-unused-cli "${args[@]}" >/dev/null
  step "build $target $kind"
  local start=$SECONDS
  cmake --build "$dir" -j "$JOBS"
  echo "build $target $kind: $((SECONDS - start)) s"
}

exports() { "$1-objdump" -p "$2" | awk '/^\[Ordinal\/Name Pointer\] Table/ {f = 1; next}
  f && NF == 0 {f = 0} f {print $NF}' | sort | tr '\n' ' ' | sed 's/ $//'; }
imports_from() { "$1-objdump" -p "$2" | awk -v dll="$3" '$0 ~ "DLL Name: " dll "$" {f = 1; getline; next}
  f && NF == 0 {f = 0} f {print $NF}' | sort | tr '\n' ' ' | sed 's/ $//'; }
dlls() { "$1-objdump" -p "$2" | awk '/DLL Name:/ {print $3}' | sort | tr '\n' ' ' | sed 's/ $//'; }
# Every import of a file, a line each: DLL and function.
imports() { "$1-objdump" -p "$2" | awk '/DLL Name:/ {dll = $3; getline; next}
  dll != "" && NF == 0 {dll = ""} dll != "" {print dll, $NF}'; }
# A field of the PE optional header.
pe_field() { "$1-objdump" -p "$2" | awk -v k="$3" '$1 == k && !seen {print $2; seen = 1}'; }

expect() { # what file expected actual
  if [ "$3" != "$4" ]; then
    fail "$2: $1 are '$4', expected '$3'"
  fi
  echo "ok  $2: $1: $4"
}

# check_imports TARGET FILE...: every import of the files from a system DLL is
# one that windows/imports.txt allows the target's package. Names every file and
# function that is not, and fails then.
check_imports() {
  local target=$1 t list=windows/imports.txt
  shift
  t=$(triplet "$target")
  local -A allowed=()
  local dll name only
  while read -r dll name only; do
    [ -z "$dll" ] || [ "${dll:0:1}" = "#" ] && continue
    if [ -z "$only" ] || [ "$only" = "$target" ]; then allowed["${dll,,} $name"]=1; fi
  done <"$list"
  local f bad=0
  for f in "$@"; do
    while read -r dll name; do
      case ${dll,,} in defshiftcore.dll | qrlnt.dll) continue ;; esac
      if [ -z "${allowed["${dll,,} $name"]:-}" ]; then
        echo "windows/build.sh: $(basename "$f"): imports $name from $dll, which $list does not allow the $target package" >&2
        bad=1
      fi
    done < <(imports "$t" "$f")
  done
  return $bad
}

# The names that cross the boundaries of the DLLs, and nothing else; no DLL of
# the compiler's run time, so that the package needs only the system's; only
# imports that the oldest Windows of the package has; the Windows version in
# the PE headers, and the 32-bit programs large-address-aware.
check() {
  local target=$1 dir t qrlnt_names
  dir=$(package_dir "$target")/bin
  t=$(triplet "$target")
  step "check export and import tables and PE headers of $target"
  local texts="Copyright NewTAVOName NewTAVOName2 OldTAVOName OldTAVOName2 Title"
  # Area tokens exist only where addresses are wider than the request block's fields.
  if [ "$target" = win64 ]; then qrlnt_names="QRLAREA QRSEND"; else qrlnt_names="QRSEND"; fi
  # QRLSFSDIR, the stand-in's own, is looked up at run time and never imported.
  local standin_names
  standin_names=$(tr ' ' '\n' <<<"$qrlnt_names QRLSFSDIR" | sort | tr '\n' ' ' | sed 's/ $//')
  expect "exports" defshiftcore.dll "$texts transmain" "$(exports "$t" "$dir/defshiftcore.dll")"
  expect "exports" qrlnt.dll "$standin_names" "$(exports "$t" "$dir/qrlnt.dll")"
  if [ "$target" = win32 ]; then
    expect "exports" "stdcall/qrlnt.dll" "QRLSFSDIR QRSEND" "$(exports "$t" "$dir/stdcall/qrlnt.dll")"
  fi
  expect "imports from qrlnt.dll" defshiftcore.dll "$qrlnt_names" \
    "$(imports_from "$t" "$dir/defshiftcore.dll" qrlnt.dll)"
  expect "imports from defshiftcore.dll" defshift.exe "$texts transmain" \
    "$(imports_from "$t" "$dir/defshift.exe" defshiftcore.dll)"
  # 64-bit Windows began with version 5.2.
  local os="4.0" subsystem="4.0"
  [ "$target" = win64 ] && subsystem="5.2"
  local f
  for f in $FILES; do
    local own
    own=$(dlls "$t" "$dir/$f" | tr ' ' '\n' | grep -iv -e '^KERNEL32.dll$' -e '^msvcrt.dll$' \
      -e '^defshiftcore.dll$' -e '^qrlnt.dll$' | tr '\n' ' ' || true)
    [ -z "$own" ] || fail "$f: needs DLLs that Windows does not have: $own"
    echo "ok  $f: needs no DLL beyond KERNEL32.dll, msvcrt.dll and its own"
    check_imports "$target" "$dir/$f" || fail "$f: imports what windows/imports.txt does not allow"
    echo "ok  $f: imports only what windows/imports.txt allows the $target package"
    expect "OS and subsystem versions" "$f" "$os $subsystem" \
      "$(pe_field "$t" "$dir/$f" MajorOSystemVersion).$(pe_field "$t" "$dir/$f" MinorOSystemVersion) $(pe_field "$t" "$dir/$f" MajorSubsystemVersion).$(pe_field "$t" "$dir/$f" MinorSubsystemVersion)"
    if [ "$target" = win32 ] && [ "${f##*.}" = exe ]; then
      # IMAGE_FILE_LARGE_ADDRESS_AWARE, 0x20 of the file header's characteristics.
      local flags
      flags=$(pe_field "$t" "$dir/$f" Characteristics)
      [ $((flags & 0x20)) != 0 ] || fail "$f: not large-address-aware (characteristics $flags)"
      echo "ok  $f: large-address-aware"
    fi
  done
}

# The check fails where it must: the test programs' run time (posix threading
# model) imports GetTickCount64, which Windows NT 4.0 does not have.
check_catches() {
  local target=$1 out
  out=$(check_imports "$target" "$(test_dir "$target")/bin/defshift.exe" 2>&1) &&
    fail "the import check passes the posix model's defshift.exe of $(test_dir "$target")"
  grep -q "defshift.exe: imports GetTickCount64 from KERNEL32.dll" <<<"$out" ||
    fail "the import check does not name GetTickCount64 of defshift.exe: $out"
  echo "ok  the import check refuses the posix model's defshift.exe: GetTickCount64 named"
}

# A text file for Windows: lines end in CR LF.
crlf() { sed 's/\r$//; s/$/\r/'; }

package() {
  local target=$1 dir t out
  dir=$(package_dir "$target")/bin
  t=$(triplet "$target")
  out=out/defshift-$target
  step "pack $out"
  rm -rf "$out"
  mkdir -p "$out/$STANDIN"
  local f
  for f in $FILES; do
    if [[ " $STANDIN_FILES " == *" $f "* ]]; then
      "$t-strip" --strip-debug -o "$out/$STANDIN/$f" "$dir/$f"
    else
      "$t-strip" --strip-debug -o "$out/$f" "$dir/$f"
    fi
  done
  crlf <windows/README.txt >"$out/README.txt"
  groff -man -Tascii -P -c defshift/defshift.1 2>/dev/null | col -bx | crlf >"$out/defshift.txt"
  [ -s "$out/defshift.txt" ] || fail "the man page did not format"
  crlf <samples/ordentry.desc >"$out/$STANDIN/ordentry.desc"
  crlf <windows/sample.cmd >"$out/$STANDIN/sample.cmd"
  [ ! -e "$out/qrlnt.dll" ] || fail "$out: qrlnt.dll lies beside defshift.exe"
  echo "ok  $out: no qrlnt.dll beside defshift.exe; the stand-in in $out/$STANDIN"
  if command -v zip >/dev/null; then
    rm -f "$out.zip"
    (cd out && zip -qr "defshift-$target.zip" "defshift-$target")
    if ! command -v unzip >/dev/null; then
      echo "packed $out and $out.zip (unzip is not installed: the .zip is not looked into)"
      return
    fi
    local listed
    listed=$(unzip -Z1 "$out.zip") || fail "$out.zip cannot be listed"
    if grep -qix "defshift-$target/qrlnt.dll" <<<"$listed"; then
      fail "$out.zip: qrlnt.dll lies beside defshift.exe"
    fi
    echo "packed $out and $out.zip, which holds no qrlnt.dll beside defshift.exe"
  else
    echo "packed $out (zip is not installed: no .zip)"
  fi
}

# The whole suite of a target under its Wine loader.
run_suite() {
  local target=$1
  start_wine
  step "run the $target test suite under $(loader "$target")"
  local start=$SECONDS
  ctest --test-dir "$(test_dir "$target")" -j "$JOBS" --output-on-failure
  # The command files written for the console's code page, once more in Wine's
  # own locale (console code page 437) to show what arrives, and in its German
  # one (850). Wine takes the locale from LC_ALL where glibc has no such locale
  # of its own.
  local page log rc
  for page in 437 850; do
    step "run the $target command files for the console's code page $page"
    local locale=(LC_ALL=C.UTF-8)
    [ "$page" = 850 ] && locale=(LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8)
    log=$(test_dir "$target")/codepage-$page.log
    rc=0
    env "${locale[@]}" DEFSHIFT_TEST_CONSOLE_CODE_PAGE=$page \
      ctest --test-dir "$(test_dir "$target")" -R '^e2e_codepage_test$' -V >"$log" 2>&1 || rc=$?
    grep -a 'arrive exactly' "$log" | sed 's/^[0-9]*: //' || true
    if [ $rc != 0 ]; then
      cat "$log"
      fail "the command files for the console's code page $page failed under Wine"
    fi
  done
  echo "$target test suite under Wine: $((SECONDS - start)) s"
}

# run_in FOLDER LOADER PROGRAM ARG...: a program of FOLDER run there; fails
# with its exit status and error output when it does not end with 0.
run_in() {
  local dir=$1 wine=$2 program=$3 rc=0
  shift 3
  (cd "$dir" && "$wine" "$dir/$program" "$@" >"$dir/out.txt" 2>"$dir/err.txt") || rc=$?
  [ $rc = 0 ] || fail "$program $* ended with exit status $rc: $(tr -d '\r' <"$dir/err.txt")"
}

# run_sample FOLDER LOADER ARG...: the package's sample.cmd, as a user runs it in
# FOLDER, its stand-in's folder, with ARG after it; fails as run_in does.
run_sample() {
  local dir=$1 wine=$2 rc=0
  shift 2
  (cd "$dir" && "$wine" cmd /c sample.cmd "$@" >"$dir/out.txt" 2>"$dir/err.txt") || rc=$?
  [ $rc = 0 ] || fail "sample.cmd $* ended with exit status $rc: $(tr -d '\r' <"$dir/err.txt")"
}

# The Windows path of a file of this host, as Wine names it.
winepath() { "$WINE64" winepath -w "$1" 2>/dev/null | tr -d '\r'; }

# expect_output WHAT FILE GOLDEN [CLIENT]: FILE, a command file or a report, is
# GOLDEN apart from the times and the line ends, and its times are real dates.
# With CLIENT, FILE is a report whose one line on the client library, after the
# source file's, is CLIENT; it is compared without that line.
expect_output() {
  local what=$1 file=$2 golden=$3 client=${4:-}
  local time_re='(Mon|Tue|Wed|Thu|Fri|Sat|Sun) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) [ 0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-6][0-9] [0-9]{4}'
  local name
  name=$(basename "$file")
  grep -qE "$time_re" "$file" || fail "$what: $name holds no real time"
  grep -q '????' "$file" && fail "$what: $name holds an unknown time"
  if [ -n "$client" ]; then
    local line
    line=$(sed 's/\r$//' "$file" | grep -A1 '^Source file: ' | grep '^File Manager client: ' || true)
    expect "line on the client library" "$what: $name" "$client" "$line"
  fi
  if ! sed 's/\r$//' "$file" | sed '/^File Manager client: /d' | sed -E "s/$time_re/<time>/g" |
    diff -u "$golden" -; then
    fail "$what: $name differs from $golden"
  fi
  echo "ok  $name equals $golden (times masked, CR LF folded${client:+, without the line on the client})"
}

# migrate_sample TARGET WHAT [QRLNT]: the sample migrated by the package of
# TARGET as a user would, in a copy of it (with QRLNT in place of the stand-in
# when given): sample.cmd, in the stand-in's folder, builds the image with
# ctfimage.exe and migrates it, giving the same command file and report as the
# golden ones of the Linux build, apart from the times, the line ends and the
# report's line on the client library, which names the stand-in of that folder;
# and the same account, byte for byte.
migrate_sample() {
  local target=$1 what=$2 qrlnt=${3:-} wine run sample
  wine=$(loader "$target")
  start_wine
  step "migrate the sample with $what under $wine"
  run=$(mktemp -d)
  cp -r "out/defshift-$target"/. "$run/"
  sample=$run/$STANDIN
  [ -z "$qrlnt" ] || cp "$qrlnt" "$sample/qrlnt.dll"
  run_sample "$sample" "$wine" -l report.log
  expect_output "$what" "$sample/migratetavo.cmd" tests/golden/ordentry.cmd
  expect_output "$what" "$sample/report.log" tests/golden/ordentry.log \
    "File Manager client: $(winepath "$sample/qrlnt.dll") (the stand-in, serving control-file images from $(winepath "$sample"))"
  # The account has no times and ends its lines in CR LF everywhere: the same
  # bytes as the Linux build's.
  run_sample "$sample" "$wine" -o account.cmd -a account.csv
  cmp "$sample/account.csv" tests/golden/ordentry.csv ||
    fail "$what: account.csv differs from tests/golden/ordentry.csv"
  echo "ok  account.csv equals tests/golden/ordentry.csv byte for byte"
  rm -rf "$run"
}

# client_in_system_folder TARGET: the package of TARGET unzipped as a site
# would, with no qrlnt.dll beside defshift.exe, reads through the client library
# of the system folder (the stand-in, put there for the run) and its report
# names that library by its path.
client_in_system_folder() {
  local target=$1 wine run pkg work system
  wine=$(loader "$target")
  start_wine
  # A 32-bit program's system folder is syswow64 of the 64-bit prefix; both
  # kinds of program call theirs C:\windows\system32.
  if [ "$target" = win64 ]; then system=system32; else system=syswow64; fi
  step "read through a client library in the system folder with out/defshift-$target under $wine"
  run=$(mktemp -d)
  if [ -f "out/defshift-$target.zip" ] && command -v unzip >/dev/null; then
    unzip -q "out/defshift-$target.zip" -d "$run"
  else
    cp -r "out/defshift-$target" "$run/"
  fi
  pkg=$run/defshift-$target
  [ ! -e "$pkg/qrlnt.dll" ] || fail "$pkg: qrlnt.dll lies beside defshift.exe"
  system_copy=$WINEPREFIX/drive_c/windows/$system/qrlnt.dll
  cp "$pkg/$STANDIN/qrlnt.dll" "$system_copy"
  work=$run/work
  mkdir "$work"
  cp "$pkg/$STANDIN/ordentry.desc" "$work/"
  local rc=0
  (cd "$work" && "$wine" "$pkg/$STANDIN/ctfimage.exe" build ordentry.desc ORDENTRY.ctf >/dev/null &&
    "$wine" "$pkg/defshift.exe" -i ORDENTRY -r ORDERS -l report.log >out.txt 2>err.txt) || rc=$?
  rm -f "$system_copy"
  system_copy=
  [ $rc = 0 ] || fail "defshift.exe of $pkg ended with exit status $rc: $(tr -d '\r' <"$work/err.txt")"
  expect_output "out/defshift-$target" "$work/migratetavo.cmd" tests/golden/ordentry.cmd
  expect_output "out/defshift-$target" "$work/report.log" tests/golden/ordentry.log \
    "File Manager client: C:\\windows\\system32\\qrlnt.dll (the stand-in, serving control-file images from $(winepath "$work"))"
  rm -rf "$run"
}

# Both packages; then each target's suite and the sample migrated by its
# package, the 32-bit ones where 32-bit programs run.
test_all() {
  build win64 tests
  run_suite win64
  check_catches win64
  migrate_sample win64 "out/defshift-win64"
  client_in_system_folder win64
  if runs_32; then
    build win32 tests
    run_suite win32
    migrate_sample win32 "out/defshift-win32"
    migrate_sample win32 "out/defshift-win32 and a __stdcall qrlnt.dll" \
      "$WIN32_PACKAGE_BUILD/bin/stdcall/qrlnt.dll"
    client_in_system_folder win32
  else
    echo "== 32-bit leg skipped: $why_32"
  fi
}

packages() {
  build win64 package
  build win32 package
  check win64
  check win32
  package win64
  package win32
}

[ $# -ge 1 ] || fail "usage: windows/build.sh package|test|ci"
# The trap may run inside a function, where $1 is that function's.
step=$1
trap '[ -z "$system_copy" ] || rm -f "$system_copy"; stop_wine; echo "windows/build.sh $step: $SECONDS s"' EXIT
case $step in
  package) packages ;;
  test)
    packages
    test_all
    ;;
  ci)
    WERROR=ON
    packages
    test_all
    ;;
  *) fail "usage: windows/build.sh package|test|ci" ;;
esac
