#!/usr/bin/env bash
# Installs what building and running need, builds the program (no tests) and starts it on its default data folder.
set -euo pipefail
cd "$(dirname "$0")"
./setup.sh
./build.sh --no-tests
exec ./build/app/quorvela "$@"
