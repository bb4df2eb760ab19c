#!/usr/bin/env bash
# Sets up and builds Zelvista in build/, then starts it on the sample scene (for this run only:
# a scene given with --loadFile is not remembered). Arguments go to the program; one that names
# an existing file (a scene to open instead of the sample) or --loadFile leaves the sample out.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
sample=build/Media/samples/sample.osgt
for argument in "$@"; do
  if [ "$argument" = "--loadFile" ] || [ -f "$argument" ]; then sample=""; fi
done
exec build/bin/Zelvista ${sample:+--loadFile "$sample"} "$@"
