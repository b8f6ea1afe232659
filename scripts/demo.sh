#!/usr/bin/env bash
# The main job on a desk: builds libxob with its device path set to a FIFO in the build tree, the
# recorder stand-in, the decoder and the head-unit demo; starts the recorder, runs the demo (a head
# unit's life through both layers) and shows every entry the recorder received, decoded by name and
# field, and writes the recording's timeline page. It leaves no process running and no FIFO behind;
# the recording stays in build-demo/demo.xob for more `xob-decode` runs (see docs/tools.md).
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-demo
device="$PWD/$build/xob-device"
recording="$build/demo.xob"
scripts/bootstrap.sh
cmake -S . -B "$build" -DXOB_DEVICE_PATH="$device" -DXOB_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target xob-recorder xob-decode xob_head_unit_demo

rm -f "$recording"
"$build/tools/xob-recorder" --quiet --output "$recording" "$device" 2>"$build/recorder.log" &
recorder=$!
stop_recorder() { kill -INT "$recorder" 2>/dev/null || true; wait "$recorder" 2>/dev/null || true; }
trap stop_recorder EXIT
for _ in $(seq 50); do [[ -p "$device" ]] && break; sleep 0.1; done

"$build/examples/xob_head_unit_demo"
sleep 0.3   # the recorder reads what the last writes left in the FIFO
stop_recorder
trap - EXIT
tail -n 1 "$build/recorder.log"

echo
echo "--- the recording, decoded: $build/tools/xob-decode $recording"
"$build/tools/xob-decode" "$recording"
echo
echo "--- route guidance as JSON Lines: xob-decode --json --name 'Nav_*RG*' $recording"
"$build/tools/xob-decode" --json --name 'Nav_*RG*' "$recording"
echo
page="$PWD/$build/demo.html"
echo "--- the recording as a timeline, for any browser: xob-decode --html $page $recording"
"$build/tools/xob-decode" --html "$page" "$recording"
echo "file://$page"
