#!/usr/bin/env bash
# Installs what is missing, builds the application and runs it.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
bash scripts/install-deps.sh
cmake -S . -B build/plain -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/plain -j "$(nproc)"
if [ -x build/plain/app/brivane ]; then
  exec build/plain/app/brivane "$@"
fi
echo "The application itself is not built yet: only its libraries and their tests exist."
