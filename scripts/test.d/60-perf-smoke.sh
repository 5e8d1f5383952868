# The benchmarks still build and run: each one once, briefly, in the optimised build. The figures
# themselves come from scripts/measure (docs/performance.md); here only a failure counts.
set -euo pipefail
# In the optimised build the package and the soak came from.
cmake --preset deb > /dev/null
cmake --build --preset deb -j "${ORVANE_JOBS:-2}" --target controller_bench trace_bench qt_panel_bench dc_history_bench
runtime=$(mktemp -d)
trap 'rm -rf "$runtime"' EXIT
status=0
for b in controller_bench trace_bench qt_panel_bench dc_history_bench; do
  out=$(QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR=1 XDG_RUNTIME_DIR="$runtime" \
    "build/deb/bench/$b" --benchmark_min_time=0.01 2>&1) || status=1
  echo "$out" | grep -E '^BM_' || true
  if echo "$out" | grep -q 'ERROR OCCURRED'; then
    echo "FAIL: $b reported an error"
    status=1
  fi
done
exit $status
