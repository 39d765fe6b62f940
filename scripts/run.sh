#!/usr/bin/env bash
# Installs what the application needs, builds the application alone (not the tests) and
# runs it. Arguments go to the application (see: bash scripts/run.sh --help).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
bash scripts/install-deps.sh --app
# A first configuration leaves the tests out, so that their packages are not needed; a
# build folder the test command has configured keeps its tests.
options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
if [ ! -f build/plain/CMakeCache.txt ]; then options+=(-DBRIVANE_TESTS=OFF); fi
cmake -S . -B build/plain -G Ninja "${options[@]}" >/dev/null
cmake --build build/plain -j "$(nproc)" --target brivane
exec build/plain/app/brivane "$@"
