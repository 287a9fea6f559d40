#!/usr/bin/env bash
# MB/s of fetch_page, winhttp_fetch (under Wine) and curl for one 10 MB body from the same
# loopback server. Usage: tests/http/transfer-bench.sh <Windows build folder: build/win32 or build/win64>
set -euo pipefail
build=$(cd "${1:?win32 Windows build folder}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
cmake --build "$build" --target http_transfer_bench >/dev/null
"$here/../../scripts/wine-prefix" "$build"

coproc bench { "$here/../../cmake/wine-run" "$build/tests/http_transfer_bench.exe" 2>&1; }
url=
while IFS= read -r line <&"${bench[0]}"; do
  line=${line%$'\r'}
  case $line in
    serving\ *) url=${line#serving }; break ;;
    *) echo "$line" ;;
  esac
done
[ -n "$url" ] || { echo "transfer-bench: the benchmark program did not start serving"; exit 1; }

rates=()
curl -s -o /dev/null "$url"  # warm-up
for _ in 1 2 3 4 5; do
  rates+=("$(curl -s -o /dev/null -w '%{speed_download}' "$url")")
done
printf '%s\n' "${rates[@]}" | sort -g | awk '
  { r[NR] = $1 / 1e6 }
  END { printf "%-14s best %7.1f MB/s   median %7.1f MB/s   (%d runs of 10 MB)\n", "curl", r[NR], r[int((NR + 1) / 2)], NR }'

echo >&"${bench[1]}"
wait "$bench_PID" 2>/dev/null || true
