#!/usr/bin/env bash
# The soak: the stress programs of tests/stress/ at full size (XOBSTRESS_SOAK=1), round after round
# until the time is up, then the sums of every round: entries sent, delivered, reported lost, cut off
# (entry calls that the end of their process interrupted, in the exit scenarios) and unaccounted
# (which must be 0).
#
#   scripts/soak.sh [MINUTES] [SANITIZERS]
#
# MINUTES defaults to 60. SANITIZERS is empty (a plain build), "address,undefined" or "thread".
# The build goes to build-soak[-address|-thread]; the programs' whole output to soak.log there.
# The exit status is 0 when every program passed in every round.
set -euo pipefail
cd "$(dirname "$0")/.."

minutes=${1:-60}
sanitizers=${2:-}
build=build-soak${sanitizers:+-${sanitizers%%,*}}
programs=(test_stress_transport test_stress_lifetime test_stress_loggers)

scripts/bootstrap.sh
cmake -S . -B "$build" -DXOB_WARNINGS_AS_ERRORS=ON -DXOB_BUILD_BENCHMARKS=OFF \
      ${sanitizers:+-DXOB_SANITIZE=$sanitizers} >/dev/null
cmake --build "$build" -j"$(nproc)" --target "${programs[@]}" xob_test_child

export XOBSTRESS_SOAK=1
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:die_after_fork=0:atexit_sleep_ms=0
log=$build/soak.log
: >"$log"
start=$SECONDS
end=$((SECONDS + minutes * 60))
rounds=0
failures=0
while ((SECONDS < end)); do
  rounds=$((rounds + 1))
  for program in "${programs[@]}"; do
    echo "=== round $rounds: $program" >>"$log"
    if ! timeout 3600 "$build/tests/$program" >>"$log" 2>&1; then  # a deadlock ends the run
      failures=$((failures + 1))
      echo "round $rounds: $program FAILED (see $log)"
    fi
  done
  echo "round $rounds done after $((SECONDS - start)) s"
done

echo
echo "soak: $rounds rounds in $((SECONDS - start)) s, $failures failed program runs${sanitizers:+, sanitizers $sanitizers}"
# Every run prints one line "[stress] SCENARIO pace=... sent=N delivered=N lost=N ... cut-off=N unaccounted=N".
awk '
  $1 == "[stress]" {
    runs[$2]++
    for (i = 3; i <= NF; i++) {
      split($i, kv, "=")
      if (kv[1] == "sent" || kv[1] == "delivered" || kv[1] == "lost" || kv[1] == "cut-off" || kv[1] == "unaccounted") {
        sum[$2, kv[1]] += kv[2]; total[kv[1]] += kv[2]
      }
    }
  }
  END {
    printf "%-20s %5s %12s %12s %12s %8s %12s\n", "scenario", "runs", "sent", "delivered", "lost", "cut-off", "unaccounted"
    for (s in runs)
      printf "%-20s %5d %12d %12d %12d %8d %12d\n", s, runs[s], sum[s, "sent"], sum[s, "delivered"], sum[s, "lost"],
             sum[s, "cut-off"], sum[s, "unaccounted"]
    printf "%-20s %5s %12d %12d %12d %8d %12d\n", "total", "", total["sent"], total["delivered"], total["lost"],
           total["cut-off"], total["unaccounted"]
  }' "$log"
((failures == 0))
