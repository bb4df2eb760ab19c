#!/usr/bin/env bash
# Builds the Debian package in build-package/ (zelvista_<version>_<arch>.deb): the program in
# /opt/zelvista, its menu entry, icon and MIME types in /usr/share, the command /usr/bin/zelvista.
# Install it with: sudo apt-get install ./build-package/zelvista_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh build-package -DCMAKE_BUILD_TYPE=Release -DZELVISTA_BUILD_TESTS=OFF \
  -DCMAKE_INSTALL_PREFIX=/opt/zelvista -DZELVISTA_SHARE_DIR=/usr/share \
  -DZELVISTA_COMMAND_LINK=/usr/bin/zelvista
cd build-package
cpack -G DEB
