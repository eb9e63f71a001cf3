#!/usr/bin/env bash
# Installs what is missing on a fresh machine: Debian packages and a Python
# virtual environment in .venv with the simulate package (editable, from
# tools/simulate) and its pinned requirements.
#
#   tools/bootstrap.sh          what building the archive and simulating it need
#   tools/bootstrap.sh --tests  also what the tests need: the other platforms'
#                               compilers and emulators, the sanitizer runtime,
#                               the other hosts, the lint
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tests=0
[ "${1-}" = "--tests" ] && tests=1

packages=(cmake ninja-build g++ gcc nlohmann-json3-dev python3-venv)
requirements="$root/tools/requirements.txt"
if ((tests)); then
  # libatomic1: libcosimpy's libcosimc.so links it. clang-format: the house
  # style's check. openssl: the certificates of the TLS tests.
  packages+=(make libgtest-dev binutils valgrind clang clang-format libclang-rt-14-dev
             libmpfr-dev libgmp-dev libatomic1 openssl)
  # The other platforms: the win64 DLL (MinGW-w64) and wine to run it, the
  # aarch64 cross compiler (with arm64 glibc) and qemu-user to run its builds.
  packages+=(gcc-mingw-w64-x86-64 g++-mingw-w64-x86-64 wine wine64
             g++-aarch64-linux-gnu qemu-user)
  requirements="$root/tools/requirements-tests.txt"
fi
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

# One stamp per set of requirements, holding the files it was installed from;
# the tests' set holds the simulation's.
venv="$root/.venv"
current() {
  local stamp="$venv/.installed-$1"
  [ -f "$stamp" ] && cat "$root/tools/$1.txt" "$root/tools/requirements.txt" \
                         "$root/pyproject.toml" | cmp -s - "$stamp"
}
stamp="$venv/.installed-$(basename "$requirements" .txt)"
if ! current requirements-tests && { ((tests)) || ! current requirements; }; then
  echo "bootstrap: preparing Python environment in .venv"
  [ -x "$venv/bin/python" ] || python3 -m venv "$venv"
  log=$(mktemp)
  if ! { "$venv/bin/pip" install --upgrade pip &&
         "$venv/bin/pip" install -r "$requirements" &&
         "$venv/bin/pip" install --no-deps -e "$root"; } >"$log" 2>&1; then
    cat "$log" >&2
    rm -f "$log"
    echo "bootstrap: preparing .venv failed" >&2
    exit 1
  fi
  rm -f "$log"
  cat "$requirements" "$root/tools/requirements.txt" "$root/pyproject.toml" >"$stamp"
fi
