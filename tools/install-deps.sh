#!/usr/bin/env bash
# Installs what building and testing qdlauncher needs on Debian: the MinGW-w64
# cross compiler, CMake, GoogleTest's sources, Wine, Xvfb, ImageMagick (the
# splash screenshot), osslsigncode (signing a stamped launcher), LLVM
# (llvm-readobj, an independent reader of qdstamp's output), unzip (the
# check of the release archive), stb_image (libstb-dev: qdstamp's PNG
# decoder, a header-only library for both of its builds) and python3 (its pty
# module runs the console launcher on a pseudo-terminal).
set -euo pipefail

packages=(
    cmake make g++
    g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
    googletest
    wine wine64 xvfb
    imagemagick osslsigncode openssl
    llvm unzip
    libstb-dev
    python3
)

as_root=()
if [ "$(id -u)" -ne 0 ]; then as_root=(sudo); fi

export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update
"${as_root[@]}" apt-get install -y "${packages[@]}"
