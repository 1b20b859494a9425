#!/usr/bin/env bash
# Builds the Debian package: package.sh [BUILD_DIR] (default build/deb).
# The program is built in release mode without tests or benchmarks, then
# CPack makes BUILD_DIR/melodiane_<version>_<arch>.deb from the install rules
# (cmake/install.cmake), its dependencies read from the binary by
# dpkg-shlibdeps. Install it with "apt install ./melodiane_*.deb".
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
build=$(realpath -m "${1:-$root/build/deb}")
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DMELODIANE_TESTS=OFF -DMELODIANE_BENCH=OFF >/dev/null
cmake --build "$build" --target melodiane
(cd "$build" && cpack -G DEB --config CPackConfig.cmake >/dev/null)
echo "Debian package: $(ls "$build"/melodiane_*.deb)"
