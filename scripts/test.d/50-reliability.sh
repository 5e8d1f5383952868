# Reliability: the corpus replays, fault scenarios, bad addresses and short soak already ran with
# the unit tests under the sanitizers (10). Here: the short soak's memory figures in a plain build
# (the package's optimised build, of which only the soak is built here), and bounded libFuzzer
# runs (clang 14, ASan + UBSan) of the program and of the presets file that fail on any crash or
# broken invariant.
set -euo pipefail
jobs="${ORVANE_JOBS:-2}"
[ "$jobs" -gt 2 ] && jobs=2
fuzz_seconds="${ORVANE_FUZZ_SECONDS:-120}"  # shared: three quarters the program, a quarter presets

echo "--- short soak (20,000 ticks, 5,000 clicks)"
cmake --preset deb > /dev/null
cmake --build --preset deb -j "$jobs" --target reliability_soak > /dev/null
build/deb/tests/reliability/reliability_soak --ticks 20000 --clicks 5000 --seed 7

# fuzz NAME SECONDS CORPUS: a bounded libFuzzer run of one target; fails on any crash or broken
# invariant. The seed is fixed (ORVANE_FUZZ_SEED), so that every run tries the same inputs in the
# same order, as far as its time reaches: a failure comes back on the next run, and a pass too. New inputs go to a scratch folder; the kept corpus in the tree is only read.
fuzz() {
  local name=$1 seconds=$2 corpus=$3 work="build/fuzz/run-$1"
  echo "--- fuzzing $name for $seconds s"
  rm -rf "$work"
  mkdir -p "$work/new" "$work/artifacts"
  "build/fuzz/tests/reliability/$name" \
    -seed="${ORVANE_FUZZ_SEED:-1}" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -len_control=0 -max_len=1024 \
    -print_final_stats=1 -artifact_prefix="$work/artifacts/" \
    "$work/new" "$corpus" 2>&1 | tee "$work/fuzz.log" | grep -E '^#[0-9]+[[:space:]]+(INITED|DONE)|^stat::|broken invariant|ERROR|SUMMARY' || true
  if ls "$work/artifacts/"* > /dev/null 2>&1; then
    echo "the fuzzer found a crash or a broken invariant in $name; inputs in $work/artifacts:"
    ls "$work/artifacts"
    return 1
  fi
  grep -q '^Done ' "$work/fuzz.log" || { echo "the fuzzer of $name did not finish its run"; return 1; }
}

cmake --preset fuzz > /dev/null
cmake --build --preset fuzz -j "$jobs" --target controller_fuzz presets_fuzz
fuzz controller_fuzz $((fuzz_seconds * 3 / 4)) tests/reliability/fuzz/corpus
fuzz presets_fuzz $((fuzz_seconds / 4)) tests/reliability/fuzz/presets-corpus
