#!/usr/bin/env bash
# Builds the benchmarks if needed, runs them all and prints the short table (ratios first, then the
# absolute figures of this machine). The full Google Benchmark output goes to JSON files beside the
# programs. Not part of the tests: nothing here runs under ctest or in CI.
#
# Usage: bench/run.sh [--quick] [BUILD_DIR]
#   --quick     one repetition with fewer bursts (a minute or so), to try things out
#   BUILD_DIR   default build-bench (configured RelWithDebInfo if it does not exist yet)
# Extra Google Benchmark options can be passed in XOB_BENCH_ARGS, e.g.
#   XOB_BENCH_ARGS=--benchmark_filter=latency/nav bench/run.sh
set -euo pipefail
cd "$(dirname "$0")/.."

repetitions=3
bursts=1500
records=20000
build=build-bench
for argument in "$@"; do
  case "$argument" in
    --quick) repetitions=1; bursts=300; records=5000 ;;
    -*) echo "unknown option: $argument" >&2; exit 2 ;;
    *) build=$argument ;;
  esac
done

if [[ ! -f "$build/CMakeCache.txt" ]]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DXOB_WARNINGS_AS_ERRORS=ON >/dev/null
fi
# Two jobs at most: the benchmarks are meant for a two-core desk, where more would only queue.
cmake --build "$build" -j2 --target xob_bench_calls xob_bench_alloc xob_bench_recorder >/dev/null

results="$build/bench/results"
mkdir -p "$results"
cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n1)
echo "machine: $(nproc) cores ($cpu), $(uname -sr); load average at start: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "(other work on the machine slows the runs down and widens the ranges; the ratios compare"
echo " library and floor runs that alternate burst by burst, so they suffer least)"

# shellcheck disable=SC2086  # XOB_BENCH_ARGS is a list of options
"$build/bench/xob_bench_calls" --bursts="$bursts" --benchmark_repetitions="$repetitions" \
  --benchmark_out="$results/calls.json" --benchmark_out_format=json ${XOB_BENCH_ARGS:-} 2>"$results/calls.log"
# shellcheck disable=SC2086
"$build/bench/xob_bench_alloc" --bursts=$((bursts / 5)) \
  --benchmark_out="$results/alloc.json" --benchmark_out_format=json ${XOB_BENCH_ARGS:-} 2>"$results/alloc.log"

echo
"$build/bench/xob_bench_recorder" --records "$records" --rounds "$repetitions"

echo
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg); full output in $results/"
