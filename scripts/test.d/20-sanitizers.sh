# The same tests under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cmake --preset asan > /dev/null
cmake --build --preset asan -j "$ORVANE_JOBS"
ctest --preset asan -j "$ORVANE_JOBS"
