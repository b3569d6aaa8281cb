#!/usr/bin/env bash
# Installs what is missing (test packages too), checks the C++ formatting (tools/check_format.sh), builds with
# the tests and runs the whole suite headless, packages that build and checks the package
# (tests/package/check_deb.sh); then the same suite and the fuzz
# targets once more under AddressSanitizer and UndefinedBehaviorSanitizer (./test-sanitizers.sh, ./build-asan).
# Arguments go to ctest in both builds.
set -euo pipefail
cd "$(dirname "$0")"
./setup.sh --test
tools/check_format.sh
./build.sh
export QT_QPA_PLATFORM=offscreen
(cd build && ctest --output-on-failure -j"$(nproc)" "$@")
# The Debian package of that build: its dependencies and files, and the shipped binary started headless.
deb=$(./package.sh build | tail -1)
tests/package/check_deb.sh "$deb"
./test-sanitizers.sh "$@"
