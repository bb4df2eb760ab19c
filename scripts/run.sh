#!/usr/bin/env bash
# Sets up and builds Zelvista in build/, then starts it. Arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
exec build/bin/Zelvista "$@"
