#!/usr/bin/env bash
# Installs what is missing, builds the program folder (build/dist) and starts the program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSELVARK_TESTS=OFF >/dev/null
cmake --build build
if [ -x build/dist/Selvark ]; then
  exec build/dist/Selvark "$@"
fi
echo "Built the device library into build/dist; the Selvark program itself is not built yet."
