#!/usr/bin/env bash
# Checks the shipped program without starting it (so also where 32-bit code cannot run):
# a PE32 i386 GUI program that imports only Windows' own DLLs and carries its manifest and
# version resource.   exe-check.sh <quillmere.exe> [objdump]
set -euo pipefail
exe=${1:?quillmere.exe}
objdump=${2:-i686-w64-mingw32-objdump}
failures=0
fail() { echo "exe-check: $*"; failures=$((failures + 1)); }

headers=$("$objdump" -f "$exe")
details=$("$objdump" -p "$exe")

grep -q 'file format pei-i386' <<<"$headers" || fail "not a PE32 i386 image: $(grep -o 'file format.*' <<<"$headers")"
grep -Eq '^Magic[[:space:]]+010b' <<<"$details" || fail "optional header is not PE32 (magic 010b)"
grep -Eq '^Subsystem[[:space:]]+00000002' <<<"$details" || fail "subsystem is not Windows GUI"

# Windows' own DLLs only: nothing from the toolchain (libstdc++, libgcc, libwinpthread).
allowed=" kernel32.dll user32.dll gdi32.dll comctl32.dll ole32.dll oleaut32.dll msvcrt.dll
          wininet.dll winhttp.dll advapi32.dll shell32.dll crypt32.dll ws2_32.dll imm32.dll "
imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$details" | tr 'A-Z' 'a-z')
[ -n "$imports" ] || fail "no imports found"
for dll in $imports; do
  [[ $allowed == *" $dll"[[:space:]]* ]] || fail "imports $dll, which is not one of Windows' own"
done

# Resource types sit at the first level of the resource tree: 0x10 version, 0x18 manifest.
types=$(grep -E '^[0-9a-f]+   Entry: ID: 0x[0-9a-f]+' <<<"$details" | sed -E 's/.*ID: 0x0*([0-9a-f]+),.*/\1/')
grep -qx 10 <<<"$types" || fail "no version resource"
grep -qx 18 <<<"$types" || fail "no manifest resource"

if [ "$failures" -gt 0 ]; then exit 1; fi
echo "exe-check: $exe is PE32 i386, GUI, imports $(echo $imports | tr ' ' ','), has manifest and version resource"
