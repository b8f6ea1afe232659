#!/usr/bin/env bash
# The timeline page of a big recording: bytes per record of `xob-decode --html` and the time
# headless Chromium takes to open it (navigation start to the first drawing, as the page reports
# in data-load-ms), the first drawing (data-draw-ms) and twenty zoom and pan drawings after it
# (data-pan-ms). Not part of the tests.
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

# A copy of the page that, once loaded, zooms in ten steps and pans ten, as the wheel and a drag
# would, and reports the median and the longest of those drawings in data-pan-ms.
python3 - "$work/page.html" "$work/pan.html" <<'PY'
import sys
page = open(sys.argv[1]).read()
steps = (" document.body.dataset.loadMs = String(Math.round(performance.now()));"
         " { const first = document.body.dataset.drawMs, ms = []; for (let s = 0; s < 20; ++s) { const w = view[1] - view[0];"
         " view = s < 10 ? [view[0] + w * 0.1, view[1] - w * 0.1] : [view[0] + w * 0.05, view[1] + w * 0.05];"
         " draw(); ms.push(Number(document.body.dataset.drawMs)); }"
         " ms.sort((a, b) => a - b); document.body.dataset.panMs = ms[10].toFixed(1) + '/' + ms[19].toFixed(1);"
         " document.body.dataset.drawMs = first; }")
anchor = "document.body.dataset.ready = '1';"
assert page.count(anchor) == 1
open(sys.argv[2], 'w').write(page.replace(anchor, steps + anchor))
PY

profile=$(mktemp -d)
trap 'rm -rf "$profile"' EXIT
for run in 1 2 3; do
  start=$(date +%s.%N)
  body=$(chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking \
           --disable-component-update --disable-sync --user-data-dir="$profile" --window-size=1400,800 \
           --dump-dom "file://$PWD/$work/pan.html" 2>/dev/null | grep -o '<body[^>]*>')
  end=$(date +%s.%N)
  echo "run $run: load to first drawing $(sed -n 's/.*data-load-ms="\([0-9]*\)".*/\1/p' <<<"$body") ms," \
       "first drawing $(sed -n 's/.*data-draw-ms="\([0-9.]*\)".*/\1/p' <<<"$body") ms," \
       "zoom and pan drawings (median/longest of 20) $(sed -n 's/.*data-pan-ms="\([0-9.\/]*\)".*/\1/p' <<<"$body") ms," \
       "browser start to exit $(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.2f", e - s }') s"
done
