# Reliability: the corpus replay, fault scenarios, bad addresses and short soak already ran with
# the unit tests (10) and under the sanitizers (20). Here: the short soak's memory figures, and a
# bounded libFuzzer run (clang 14, ASan + UBSan) that fails on any crash or broken invariant.
set -euo pipefail
jobs="${ORVANE_JOBS:-2}"
[ "$jobs" -gt 2 ] && jobs=2
fuzz_seconds="${ORVANE_FUZZ_SECONDS:-120}"

echo "--- short soak (20,000 ticks, 5,000 clicks)"
cmake --preset debug > /dev/null
cmake --build --preset debug -j "$jobs" --target reliability_soak > /dev/null
build/debug/tests/reliability/reliability_soak --ticks 20000 --clicks 5000 --seed 7

echo "--- fuzzing for ${fuzz_seconds} s"
cmake --preset fuzz > /dev/null
cmake --build --preset fuzz -j "$jobs" --target controller_fuzz
work="build/fuzz/run"
rm -rf "$work"
mkdir -p "$work/new" "$work/artifacts"
# New inputs go to a scratch folder; the kept corpus in the tree is only read.
build/fuzz/tests/reliability/controller_fuzz \
  -max_total_time="$fuzz_seconds" -timeout=10 -rss_limit_mb=2048 -len_control=0 -max_len=1024 \
  -print_final_stats=1 -artifact_prefix="$work/artifacts/" \
  "$work/new" tests/reliability/fuzz/corpus 2>&1 | tee "$work/fuzz.log" | grep -E '^#[0-9]+[[:space:]]+(INITED|DONE)|^stat::|broken invariant|ERROR|SUMMARY' || true
if ls "$work/artifacts/"* > /dev/null 2>&1; then
  echo "the fuzzer found a crash or a broken invariant; inputs in $work/artifacts:"
  ls "$work/artifacts"
  exit 1
fi
grep -q '^Done ' "$work/fuzz.log" || { echo "the fuzzer did not finish its run"; exit 1; }
