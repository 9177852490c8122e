#!/usr/bin/env bash
# Sets up packages, then builds and runs the whole test suite: the normal build,
# the AddressSanitizer+UndefinedBehaviorSanitizer build and the
# ThreadSanitizer build of the threaded driver core.
# Usage: scripts/test.sh [preset ...]   (default: default asan tsan)
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup-packages.sh

presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(default asan tsan)
jobs=$(nproc)

for preset in "${presets[@]}"; do
  echo "=== ${preset}: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "=== ${preset}: tests"
  ctest --preset "$preset" -j "$jobs" --no-tests=error
done
