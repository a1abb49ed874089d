#!/bin/sh
# Checks of the built executables, read with the system's tools (mingw-w64's binutils,
# icoutils, unzip, Python):  exe_checks.sh RELEASE_EXE TEST_EXE APPLICATION_ARCHIVE
set -u
release=$1
test_exe=$2
archive=$3
tools=x86_64-w64-mingw32
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0
failed=0

# check WHAT EXPECTED ACTUAL
check() {
  if [ "$2" = "$3" ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    printf 'FAILED: %s\n  expected: %s\n  actual:   %s\n' "$1" "$2" "$3"
  fi
}

# The words of standard input on one line.
joined() { xargs; }

headers=$($tools-objdump -p "$release")
check "a 64-bit GUI program" "pei-x86-64 Windows GUI" \
  "$(printf '%s\n' "$headers" | sed -n 's/.*file format //p; s/^Subsystem.*(\(.*\))/\1/p' | joined)"
# Windows loads these from the system directory whatever lies beside the executable; any other
# import (WinINet among them) would be looked for in the executable's folder first.
check "imports known system DLLs only" "" "$(printf '%s\n' "$headers" | sed -n 's/^\tDLL Name: //p' |
  tr 'A-Z' 'a-z' | grep -vxE '(kernel32|user32|gdi32|shell32|ole32|msvcrt|advapi32)\.dll' | joined)"
# Missing on older Windows builds: a static import would stop the program from loading.
check "no static import of a late function" "" "$(printf '%s\n' "$headers" |
  grep -owE 'SetProcessDpiAwarenessContext|GetDpiForSystem|GetDpiForWindow|SetDefaultDllDirectories' | joined)"

# The icon: seven 32-bit images that decode at their stated sizes; the 256-pixel one a PNG,
# the others bitmaps (a 40-byte header).
wrestool -x --type=14 --name=1 "$release" > "$work/quorlin.ico"
check "seven icon images" "quorlin_1_16x16x32.png quorlin_2_24x24x32.png quorlin_3_32x32x32.png \
quorlin_4_48x48x32.png quorlin_5_64x64x32.png quorlin_6_128x128x32.png quorlin_7_256x256x32.png" \
  "$(icotool -x -o "$work" "$work/quorlin.ico" && ls -v "$work" | grep png | joined)"
check "bitmaps, the 256-pixel image a PNG" "28 28 28 28 28 28 89" "$(for n in 1 2 3 4 5 6 7; do
  wrestool -x --raw --type=3 --name=$n "$release" | od -An -tx1 -N1; done | joined)"
# The 48-pixel image, the fourth (BGRA, bottom-up): accent frame at the corner, dark inner
# square, white stem.
wrestool -x --raw --type=3 --name=4 "$release" > "$work/48.bmp"
pixel() { od -An -tx4 -N4 -j $((40 + ((47 - $2) * 48 + $1) * 4)) "$work/48.bmp" | tr -d ' '; }
check "the mark in the 48-pixel image" "fffe2c55 ff16171d ffffffff" "$(pixel 1 1) $(pixel 35 39) $(pixel 18 22)"

check "version 1.0.26 of Quorlin.exe" \
  'FILEVERSION 1, 0, 26, 0|PRODUCTVERSION 1, 0, 26, 0|"FileVersion", "1.0.26"|"OriginalFilename", "Quorlin.exe"|"ProductVersion", "1.0.26"' \
  "$($tools-windres -i "$release" -O rc | sed -n 's/^ *\(FILEVERSION\|PRODUCTVERSION\) /\1 /p
    s/^ *VALUE \("\(FileVersion\|OriginalFilename\|ProductVersion\)".*\)/\1/p' | paste -sd'|' -)"

check "the application archive reads whole" "ok" "$(unzip -tqq "$archive" && echo ok)"
check "the archive is carried as one unchanged block" "True" \
  "$(python3 -c 'import sys; print(open(sys.argv[2], "rb").read() in open(sys.argv[1], "rb").read())' "$release" "$archive")"
wide_texts() { $tools-strings -a -el "$1"; }
check "the real runtime address" "1" "$(wide_texts "$release" |
  grep -cxF https://github.com/electron/electron/releases/download/v45.2.1/electron-v45.2.1-win32-x64.zip)"
check "no test switch in the release" "0" "$({ wide_texts "$release"; $tools-strings -a "$release"; } | grep -c QUORLIN_TEST)"
check "the test build takes the runtime address from the environment" "1" \
  "$(wide_texts "$test_exe" | grep -cxF QUORLIN_TEST_RUNTIME_URL)"

echo "exe_checks: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
