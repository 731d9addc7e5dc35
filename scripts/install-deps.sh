#!/bin/sh
# Installs the Debian packages the build needs; only what is missing, so
# running it again costs nothing.
set -e
PACKAGES="cmake ninja-build g++ make pkg-config ccache zlib1g-dev libpng-dev \
libjpeg62-turbo-dev libgif-dev libtiff-dev \
python3 nlohmann-json3-dev libgtest-dev libbenchmark-dev clang libclang-rt-14-dev \
libsdl2-dev libepoxy-dev libegl-dev libegl-mesa0 libgl1-mesa-dri \
libfreetype-dev libfontconfig-dev fonts-liberation2 xvfb xauth \
libsndfile1-dev libsamplerate0-dev libfluidsynth-dev timgm6mb-soundfont \
libffi-dev libimgui-dev libenet-dev \
libavformat-dev libavcodec-dev libswscale-dev libswresample-dev libavutil-dev"
if [ "$1" = "--bench" ]; then PACKAGES="$PACKAGES lua5.4"; fi

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done
[ -z "$missing" ] && exit 0

SUDO=""
if [ "$(id -u)" != "0" ]; then SUDO="sudo"; fi
echo "Installing Debian packages:$missing"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq || true
$SUDO apt-get install -y -qq --no-install-recommends $missing
