#!/usr/bin/env bash
# Checks the shipped program without starting it (so also where 32-bit code cannot run):
# a PE32 i386 GUI program that imports only Windows' own DLLs, and from them only functions
# that Windows 7 SP1 exports (the kept list windows7-imports.txt beside this script), and
# carries its version resource and a manifest that declares the screen-scale awareness.
#   exe-check.sh <quillmere.exe> [objdump]
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
          wininet.dll winhttp.dll advapi32.dll shell32.dll crypt32.dll ws2_32.dll imm32.dll
          comdlg32.dll "
imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$details" | tr 'A-Z' 'a-z')
[ -n "$imports" ] || fail "no imports found"
for dll in $imports; do
  [[ $allowed == *" $dll"[[:space:]]* ]] || fail "imports $dll, which is not one of Windows' own"
done

# Resource types sit at the first level of the resource tree: 0x10 version, 0x18 manifest.
types=$(grep -E '^[0-9a-f]+   Entry: ID: 0x[0-9a-f]+' <<<"$details" | sed -E 's/.*ID: 0x0*([0-9a-f]+),.*/\1/')
grep -qx 10 <<<"$types" || fail "no version resource"
grep -qx 18 <<<"$types" || fail "no manifest resource"

# Every imported function must be on the kept list: a new import that Windows 7 SP1 lacks
# would stop the program from starting there at all.
here=$(cd "$(dirname "$0")" && pwd)
outside=$(python3 - "$here/windows7-imports.txt" <(printf '%s\n' "$details") <<'PY'
import re, sys
kept = set()
for line in open(sys.argv[1], encoding="utf-8"):
    line = line.split("#", 1)[0].split()
    if line:
        kept.add((line[0].lower(), line[1]))
dll = None
for line in open(sys.argv[2], encoding="utf-8", errors="replace"):
    named = re.match(r"\s*DLL Name: (\S+)", line)
    if named:
        dll = named.group(1).lower()
        continue
    entry = re.match(r"\s*[0-9a-f]+\s+[0-9]+\s+(\S+)\s*$", line)
    if dll and entry and (dll, entry.group(1)) not in kept:
        print(dll, entry.group(1))
    if not line.strip():
        dll = None
PY
)
while read -r dll function; do
  [ -n "$dll" ] && fail "imports $function from $dll, which is not on the kept list of Windows 7 SP1's exports"
done <<<"$outside"

# The manifest as the exe carries it: per-monitor v2 where Windows 10 1703 and later read
# dpiAwareness, system-aware (dpiAware true) for every older Windows, and never the first
# per-monitor mode, which would need shcore.dll's GetDpiForMonitor on Windows 8.1.
if ! manifest_problem=$(python3 - "$exe" 2>&1 <<'PY'
import re, sys
import xml.etree.ElementTree as ET
data = open(sys.argv[1], "rb").read()
found = re.search(rb"<\?xml[^>]*\?>\s*<assembly.*?</assembly>", data, re.S)
if not found:
    sys.exit("no manifest XML in the exe")
try:
    root = ET.fromstring(found.group(0))
except ET.ParseError as error:
    sys.exit("manifest is not well-formed XML: %s" % error)
v3 = "{urn:schemas-microsoft-com:asm.v3}"
aware = root.findall("%sapplication/%swindowsSettings/{http://schemas.microsoft.com/SMI/2005/WindowsSettings}dpiAware" % (v3, v3))
awareness = root.findall("%sapplication/%swindowsSettings/{http://schemas.microsoft.com/SMI/2016/WindowsSettings}dpiAwareness" % (v3, v3))
if [e.text.strip().lower() for e in aware] != ["true"]:
    sys.exit("dpiAware is not exactly one 'true' in asm.v3 application/windowsSettings")
if [[v.strip() for v in e.text.split(",")] for e in awareness] != [["PerMonitorV2"]]:
    sys.exit("dpiAwareness is not exactly 'PerMonitorV2' in asm.v3 application/windowsSettings")
PY
); then
  fail "manifest: $manifest_problem"
fi

if [ "$failures" -gt 0 ]; then exit 1; fi
echo "exe-check: $exe is PE32 i386, GUI, imports $(echo $imports | tr ' ' ',') (every function on the kept list), has its DPI-aware manifest and version resource"
