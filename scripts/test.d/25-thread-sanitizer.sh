# The tests where two threads meet (the host thread, the waits, the program, the end of a session,
# the Qt waiter) under ThreadSanitizer: any report fails the stage.
set -euo pipefail
cmake --preset tsan > /dev/null
cmake --build --preset tsan -j "$ORVANE_JOBS"
ctest --preset tsan -j "$ORVANE_JOBS"
