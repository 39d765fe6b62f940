#!/usr/bin/env bash
# Installs the Debian packages the project needs. Idempotent: only packages that are missing
# are installed.
#   bash scripts/install-deps.sh         everything: the application, its tests and their tools
#   bash scripts/install-deps.sh --app   only what building and running the application needs
set -euo pipefail

mode=all
case "${1:-}" in
  "") ;;
  --app) mode=app ;;
  *) echo "usage: bash scripts/install-deps.sh [--app]" >&2; exit 2 ;;
esac

# Building and running the application.
APP_PACKAGES=(
  build-essential cmake ninja-build pkg-config
  zlib1g-dev libpng-dev libexpat1-dev
  antlr libantlr-dev
  libavformat-dev libavcodec-dev libswscale-dev libavutil-dev
  libcurl4-openssl-dev libfontconfig-dev libfreetype-dev libcairo2-dev
  libgtk-3-dev libpango1.0-dev
  fonts-dejavu-core
)
# The tests, benchmarks and the outside tools the oracle tests compare with.
TEST_PACKAGES=(
  git
  libgtest-dev libgmock-dev libbenchmark-dev
  python3 libxml2-utils python3-fonttools openssl time
  xvfb xdotool xclip imagemagick openbox twm x11-utils
  tesseract-ocr
  libfuse3-dev fuse3
  ffmpeg lame sox flvmeta
  locales
  chromium
)

PACKAGES=("${APP_PACKAGES[@]}")
if [ "$mode" = all ]; then PACKAGES+=("${TEST_PACKAGES[@]}"); fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
    missing+=("$p")
  fi
done

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "install-deps: installing ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

if [ "$mode" = app ]; then exit 0; fi

# Node.js may come from elsewhere than Debian (with its own npm); install Debian's only
# when there is none at all.
if ! command -v npm >/dev/null 2>&1; then
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends nodejs npm
fi

# A second locale for the tests that prove nothing depends on the process locale.
if ! locale -a 2>/dev/null | grep -qi '^tr_TR\.utf8$'; then
  if [ -f /etc/locale.gen ]; then
    $SUDO sed -i 's/^# *tr_TR.UTF-8 UTF-8/tr_TR.UTF-8 UTF-8/' /etc/locale.gen
    grep -q '^tr_TR.UTF-8 UTF-8' /etc/locale.gen || echo 'tr_TR.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
    $SUDO locale-gen >/dev/null || true
  fi
fi

# The browser player used by the oracle tests lives in its own npm folder.
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
player="$here/tests/player"
if [ -f "$player/package.json" ] && [ -f "$player/package-lock.json" ]; then
  if [ ! -d "$player/node_modules" ] || [ "$player/package-lock.json" -nt "$player/node_modules/.package-lock.json" ]; then
    (cd "$player" && npm ci --no-audit --no-fund --loglevel=error)
  fi
fi
