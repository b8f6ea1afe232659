#!/usr/bin/env bash
# The main job on a desk: builds libxob with the device path set to a FIFO in the build tree,
# starts the recorder stand-in there, runs the example client and shows what the recorder got.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-demo
device="$PWD/$build/xob-device"
scripts/bootstrap.sh
cmake -S . -B "$build" -DXOB_DEVICE_PATH="$device" -DXOB_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target xob-recorder xob_example_client

log="$build/recorder.log"
"$build/tools/xob-recorder" --output "$build/recorded.xob" "$device" >"$log" &
recorder=$!
trap 'kill $recorder 2>/dev/null || true; wait $recorder 2>/dev/null || true' EXIT
for _ in $(seq 50); do [[ -p "$device" ]] && break; sleep 0.1; done

"$build/examples/xob_example_client"
sleep 0.5   # the writer thread delivers in the background
kill -INT $recorder
wait $recorder || true
trap - EXIT
echo "--- records received by the recorder stand-in:"
cat "$log"
