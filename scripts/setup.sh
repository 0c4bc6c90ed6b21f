#!/bin/bash
# Installs what the build and the tests need from Debian's packages, when
# missing. Quiet when everything is there; safe to run any number of times.
set -euo pipefail

packages=(
    cmake make
    g++-mingw-w64-i686-win32 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools
    googletest
    wine64
    xvfb xauth x11-utils imagemagick fonts-wqy-microhei fonts-wine
    python3 python3-pil
    libc-bin
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
