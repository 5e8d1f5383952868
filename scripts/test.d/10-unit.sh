# The unit tests in a debug build.
set -euo pipefail
cmake --preset debug > /dev/null
cmake --build --preset debug -j "$ORVANE_JOBS"
ctest --preset debug -j "$ORVANE_JOBS"
