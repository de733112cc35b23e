#!/usr/bin/env bash
# Builds the Debian package build-package/velmor_<version>_<arch>.deb: the program installed below
# /usr, its desktop entry and icons, and the systemd user unit. Installs what is missing first.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
  -DVELMOR_BUILD_TESTS=OFF -DVELMOR_BUILD_BENCH=OFF "${launcher[@]}"
cmake --build build-package
(cd build-package && cpack -G DEB)
ls -1 "$PWD"/build-package/velmor_*.deb
