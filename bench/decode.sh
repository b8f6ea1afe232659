#!/usr/bin/env bash
# xob-decode on big recordings: throughput of text, --json and --stats against cat and xxd on the
# same file in the same run (hyperfine, best and mean of several runs), and peak memory (the
# maximum resident set of /usr/bin/time) at 1 MB and at about 1 GB of input. Not a test: nothing
# here runs under ctest or in CI. Figures go to bench/README.md by hand.
#
# Usage: bench/decode.sh [BUILD_DIR] [GIGABYTES]   (default build-bench, 1; needs hyperfine)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-bench}
gigabytes=${2:-1}
if [[ ! -f "$build/CMakeCache.txt" ]]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DXOB_WARNINGS_AS_ERRORS=ON >/dev/null
fi
cmake --build "$build" -j2 --target xob-decode >/dev/null
decode="$build/tools/xob-decode"
work="$build/bench/decode"
mkdir -p "$work"

# 1,000,000 records of several entry kinds (about 29 MB), and copies of it end to end for the
# memory figure (each copy's clock starts again: the decoder counts that as a wrap).
records="$work/1m.xob"
[[ -f "$records" ]] || python3 bench/make_recording.py 1000000 "$records"
head -c 1000000 "$records" >"$work/1mb.xob"
big="$work/big.xob"
copies=$(( gigabytes * 1024 * 1024 * 1024 / $(stat -c %s "$records") ))
if [[ ! -f "$big" || $(stat -c %s "$big") -ne $(( copies * $(stat -c %s "$records") )) ]]; then
  rm -f "$big"
  for _ in $(seq "$copies"); do cat "$records" >>"$big"; done
fi

echo "machine: $(nproc) cores ($(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n1)); load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "input: $(stat -c %s "$records") bytes, 1,000,000 records"
hyperfine -N --warmup 1 --runs "${XOB_BENCH_RUNS:-5}" --export-json "$work/throughput.json" --style basic \
  -n cat "cat $records" \
  -n xxd "xxd $records" \
  -n text "$decode $records" \
  -n json "$decode --json $records" \
  -n stats "$decode --stats $records" >/dev/null
python3 - "$work/throughput.json" "$(stat -c %s "$records")" <<'PY'
import json, sys
results = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
size = int(sys.argv[2])
# Wall time is what a user waits for; user + system CPU time is what a busy shared machine
# disturbs least. Ratios: this command's best wall time over cat's and xxd's.
print(f"{'':8} {'best s':>8} {'mean s':>8} {'cpu s':>8} {'MB/s':>8} {'MB/s cpu':>9} {'x cat':>8} {'x xxd':>8}")
best = {name: max(min(r["times"]), 1e-6) for name, r in results.items()}
for name in ("cat", "xxd", "text", "json", "stats"):
    r = results[name]
    cpu = max(r["user"] + r["system"], 1e-6)
    print(f"{name:8} {best[name]:8.3f} {r['mean']:8.3f} {cpu:8.3f} {size / best[name] / 1e6:8.1f} "
          f"{size / cpu / 1e6:9.1f} {best[name] / best['cat']:8.1f} {best[name] / best['xxd']:8.2f}")
PY

echo
echo "peak memory (maximum resident set, KB):"
printf '%-8s %12s %12s\n' "" "1 MB" "$(( $(stat -c %s "$big") / 1000000 )) MB"
for mode in text json stats; do
  option=(); [[ $mode == json ]] && option=(--json); [[ $mode == stats ]] && option=(--stats)
  /usr/bin/time -o "$work/small.mem" -f %M "$decode" "${option[@]}" "$work/1mb.xob" >/dev/null 2>&1 || true
  /usr/bin/time -o "$work/large.mem" -f %M "$decode" "${option[@]}" "$big" >/dev/null 2>&1 || true
  small=$(tail -n1 "$work/small.mem")
  large=$(tail -n1 "$work/large.mem")
  printf '%-8s %12s %12s\n' "$mode" "$small" "$large"
done
