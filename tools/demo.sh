#!/usr/bin/env bash
# Installs what the project needs, builds the bundle and runs the bundled application's demo.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" >/dev/null
exec build/bin/quodrix demo "$@"
