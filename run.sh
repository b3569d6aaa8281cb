#!/usr/bin/env bash
# Installs what is missing, builds and starts Quorvela on its default data folder.
set -euo pipefail
cd "$(dirname "$0")"
./setup.sh
./build.sh
exec ./build/app/quorvela "$@"
