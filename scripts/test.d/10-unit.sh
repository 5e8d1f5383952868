# The unit tests, once, under AddressSanitizer and UndefinedBehaviorSanitizer: every test of the
# tree, the fuzz corpus replay and the short soak among them. (The soak's memory figures come from
# a plain build in the reliability stage; ASan's allocator makes them meaningless here.)
set -euo pipefail
cmake --preset asan > /dev/null
cmake --build --preset asan -j "$ORVANE_JOBS"
ctest --preset asan -j "$ORVANE_JOBS"
