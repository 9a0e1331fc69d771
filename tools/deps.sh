#!/usr/bin/env bash
# Installs the Debian packages the build, the player and the tests need, when any is missing.
#   bash tools/deps.sh [--test] [--fuzz]
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  libavformat-dev libavcodec-dev libavutil-dev libswresample-dev libswscale-dev
  libturbojpeg0-dev libexif-dev libpulse-dev qt6-base-dev libx11-dev
  fonts-wqy-microhei fonts-dejavu-core
  qt6-wayland qt6-translations-l10n
)
TEST_PACKAGES=(
  googletest libgtest-dev libgmock-dev
  pulseaudio pulseaudio-utils dbus-daemon ffmpeg xvfb xauth xdotool x11-utils imagemagick python3
  desktop-file-utils xdg-utils shared-mime-info weston
)

# Only for the fuzz targets (cmake -DTELVANE_FUZZ=ON, fuzz/run.sh): clang, libFuzzer, llvm-cov.
FUZZ_PACKAGES=(clang llvm libclang-rt-dev)

wanted=("${PACKAGES[@]}")
for option in "$@"; do
  case $option in
    --test) wanted+=("${TEST_PACKAGES[@]}") ;;
    --fuzz) wanted+=("${FUZZ_PACKAGES[@]}") ;;
  esac
done

missing=()
for pkg in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  # As an argument of env, the setting reaches apt-get through sudo, which drops the caller's
  # environment.
  SUDO=(env DEBIAN_FRONTEND=noninteractive)
  [ "$(id -u)" -ne 0 ] && SUDO=(sudo "${SUDO[@]}")
  "${SUDO[@]}" apt-get update
  "${SUDO[@]}" apt-get install -y "${missing[@]}"
fi
