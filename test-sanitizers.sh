#!/usr/bin/env bash
# Builds the whole project with clang under AddressSanitizer and UndefinedBehaviorSanitizer into ./build-asan,
# runs the whole suite there and runs each fuzz target for a bounded number of inputs.
# Suppressions for noise from the uninstrumented Qt and system libraries: tests/sanitizers/.
set -euo pipefail
cd "$(dirname "$0")"
./setup.sh --test
sanitize="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
# Leaks are looked for; the suppression file names the ones that belong to Qt and the system libraries.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:detect_stack_use_after_return=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/sanitizers/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DBUILD_TESTING=ON -DQV_FUZZ=ON \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_CXX_FLAGS="-O1 $sanitize" -DCMAKE_CXX_FLAGS_DEBUG="-gline-tables-only" \
    -DCMAKE_EXE_LINKER_FLAGS="$sanitize" >/dev/null
cmake --build build-asan -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
cd build-asan
ctest --output-on-failure -j"$(nproc)" "$@"
