#!/usr/bin/env bash
# Builds the Debian package build-package/velmor_<version>_<arch>.deb: the program installed below
# /usr, its desktop entry and icons, its manual page, changelog and copyright file, and the systemd
# user unit; then checks it with lintian. Installs what is missing first.
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
deb=$(ls -1 "$PWD"/build-package/velmor_*.deb)
# Debian's conventions: lintian must report no error and no warning. It is installed only here,
# when missing, since nothing else needs it.
if ! command -v lintian >/dev/null; then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends lintian
fi
lintian --fail-on error,warning "$deb"
echo "$deb"
