#!/usr/bin/env bash
# The timeline page of a big recording: bytes per record of `xob-decode --html` and the time
# headless Chromium takes to open it (navigation start to the first drawing, as the page reports
# in data-load-ms) and to draw it again (data-draw-ms, what a pan costs). Not part of the tests.
#
# Usage: bench/page.sh [RECORDS [BUILD_DIR]]     (default 1000000 records, build-bench)
set -euo pipefail
cd "$(dirname "$0")/.."
records=${1:-1000000}
build=${2:-build-bench}
if [[ ! -f "$build/CMakeCache.txt" ]]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DXOB_WARNINGS_AS_ERRORS=ON >/dev/null
fi
cmake --build "$build" -j2 --target xob-decode >/dev/null
work="$build/bench/page"
mkdir -p "$work"
python3 bench/make_recording.py "$records" "$work/recording.xob"
start=$(date +%s.%N)
"$build/tools/xob-decode" --html "$work/page.html" "$work/recording.xob" 2>/dev/null
end=$(date +%s.%N)
bytes=$(stat -c %s "$work/page.html")
echo "records: $records; recording $(stat -c %s "$work/recording.xob") bytes"
awk -v b="$bytes" -v r="$records" -v s="$start" -v e="$end" \
  'BEGIN { printf "page: %d bytes, %.2f bytes per record; written in %.2f s\n", b, b / r, e - s }'

profile=$(mktemp -d)
trap 'rm -rf "$profile"' EXIT
for run in 1 2 3; do
  start=$(date +%s.%N)
  body=$(chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking \
           --disable-component-update --disable-sync --user-data-dir="$profile" --window-size=1400,800 \
           --dump-dom "file://$PWD/$work/page.html" 2>/dev/null | grep -o '<body[^>]*>')
  end=$(date +%s.%N)
  echo "run $run: load to first drawing $(sed -n 's/.*data-load-ms="\([0-9]*\)".*/\1/p' <<<"$body") ms," \
       "one drawing $(sed -n 's/.*data-draw-ms="\([0-9.]*\)".*/\1/p' <<<"$body") ms," \
       "browser start to exit $(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.2f", e - s }') s"
done
