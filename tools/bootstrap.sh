#!/usr/bin/env bash
# Installs what the build, the tests and the main job need on a fresh
# machine: Debian packages (only those missing) and a Python virtual
# environment in .venv with the hosts (FMPy, libcosimpy, the FMU Manipulation
# Toolbox) and plotting libraries.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

# libatomic1: libcosimpy's libcosimc.so links it. clang-format: the house
# style's check.
packages=(cmake ninja-build make g++ gcc libgtest-dev nlohmann-json3-dev binutils valgrind
          clang clang-format libclang-rt-14-dev python3-venv libmpfr-dev libgmp-dev libatomic1
          openssl)
# The other platforms: the win64 DLL (MinGW-w64) and wine to run it, the
# aarch64 cross compiler (with arm64 glibc) and qemu-user to run its builds.
packages+=(gcc-mingw-w64-x86-64 g++-mingw-w64-x86-64 wine wine64
           g++-aarch64-linux-gnu qemu-user)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "bootstrap: installing ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}" >/dev/null
fi

venv="$root/.venv"
stamp="$venv/.requirements-installed"
if [ ! -f "$stamp" ] || ! cmp -s "$root/tools/requirements.txt" "$stamp"; then
  echo "bootstrap: preparing Python environment in .venv"
  python3 -m venv "$venv"
  "$venv/bin/pip" install -q --upgrade pip
  "$venv/bin/pip" install -q -r "$root/tools/requirements.txt"
  cp "$root/tools/requirements.txt" "$stamp"
fi
