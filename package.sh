#!/usr/bin/env bash
# Builds the Debian package of the program (quorvela_<version>_<arch>.deb) and prints its path last.
#   ./package.sh               a Release build of the program alone (no tests) in ./build-package, then the package
#   ./package.sh <build dir>   the package from a tree already configured there (./test.sh packages ./build)
# Install it with:  sudo apt install ./build-package/quorvela_*.deb
set -euo pipefail
cd "$(dirname "$0")"
if [ $# -eq 0 ]; then
    ./setup.sh
    dir=build-package
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
else
    dir=$1
    [ -f "$dir/CPackConfig.cmake" ] || { echo "package.sh: $dir is not a configured build folder" >&2; exit 1; }
fi
cmake --build "$dir" -j"$(nproc)" --target quorvela
rm -f "$dir"/quorvela_*.deb
(cd "$dir" && cpack -G DEB)
deb=$(ls "$dir"/quorvela_*.deb)
echo "$deb"
