#!/usr/bin/env bash
# Installs every Debian package the project, its tests and its tools need.
# Idempotent: only packages that are missing are installed.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  libgtest-dev libgmock-dev libbenchmark-dev
  zlib1g-dev libpng-dev libexpat1-dev
  antlr libantlr-dev
  libavformat-dev libavcodec-dev libswscale-dev libavutil-dev
  libcurl4-openssl-dev libfontconfig-dev libfreetype-dev libcairo2-dev
  libgtk-3-dev libpango1.0-dev
  python3 libxml2-utils python3-fonttools fonts-dejavu-core openssl time
  xvfb xdotool imagemagick openbox x11-utils
  ffmpeg lame sox flvmeta
  locales
  chromium
)

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
