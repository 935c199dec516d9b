#!/bin/bash
# Installs what CKVD Explorer needs to build, test and generate its demo discs (Debian 12).
set -euo pipefail
if [ "$(id -u)" -ne 0 ]; then exec sudo "$0" "$@"; fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends \
    build-essential cmake ninja-build pkg-config libgtest-dev libgmock-dev libbenchmark-dev \
    qt6-base-dev qt6-svg-dev libicu-dev qt6-qpa-plugins libgl-dev zlib1g-dev libsqlite3-dev libpq-dev postgresql libisofs-dev libburn-dev libtag1-dev liblz4-dev libzstd-dev libflac-dev nettle-dev fonts-ipafont-gothic \
    plocate genisoimage xorriso libcdio-utils cdrdao flac lame id3v2 eyed3 python3-mutagen ffmpeg sox bchunk mediainfo imagemagick grub-rescue-pc \
    xvfb openbox xdotool \
    qemu-system-x86 linux-image-amd64 busybox-static \
    python3 clang libclang-rt-14-dev clang-format groff-base man-db dpkg-dev >/dev/null
