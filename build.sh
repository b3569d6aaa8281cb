#!/usr/bin/env bash
# Configures and builds into ./build: the program, the tests and the benchmarks (a developer's build).
#   ./build.sh --no-tests   the program alone (BUILD_TESTING off), as ./run.sh does
set -euo pipefail
cd "$(dirname "$0")"
testing=ON
case "${1:-}" in
    --no-tests) testing=OFF ;;
    "") ;;
    *) echo "usage: $0 [--no-tests]" >&2; exit 2 ;;
esac
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=$testing >/dev/null
cmake --build build -j"$(nproc)"
