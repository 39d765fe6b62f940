#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite twice: once plainly
# (under LANG=C) and once under AddressSanitizer and UndefinedBehaviorSanitizer (under
# LANG=tr_TR.UTF-8), so that nothing may depend on the process locale.
# Options: --plain-only or --sanitize-only run one of the two; other arguments go to ctest.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

plain=1 sanitize=1 ctest_args=()
for a in "$@"; do
  case "$a" in
    --plain-only) sanitize=0 ;;
    --sanitize-only) plain=0 ;;
    *) ctest_args+=("$a") ;;
  esac
done

bash scripts/install-deps.sh

jobs=$(nproc)
status=0

run_suite() {  # name, locale, cmake options...
  local name=$1 locale=$2
  shift 2
  echo "== $name build"
  cmake -S . -B "build/$name" -G Ninja "$@" >/dev/null
  cmake --build "build/$name" -j "$jobs"
  echo "== $name tests (LANG=$locale)"
  if ! (cd "build/$name" && env -u LC_ALL LANG="$locale" \
        ctest --output-on-failure -j "$jobs" --timeout 900 "${ctest_args[@]}"); then
    status=1
  fi
}

if [ "$plain" = 1 ]; then
  run_suite plain C -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRIVANE_TESTS=ON
fi
if [ "$sanitize" = 1 ]; then
  export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
  export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
  run_suite sanitize tr_TR.UTF-8 -DCMAKE_BUILD_TYPE=Debug -DBRIVANE_SANITIZE=ON -DBRIVANE_TESTS=ON
fi
exit $status
