#!/usr/bin/env bash
# Installs the Debian packages the build, the tool and the tests need.
# Idempotent: only packages that are missing are installed, and the package
# lists are refreshed once, only when something has to be installed.
set -euo pipefail

packages=(
  build-essential
  cmake
  pkg-config
  qtbase5-dev
  qtbase5-dev-tools
  libqcustomplot-dev
  libhidapi-dev
  libbenchmark-dev
  # The real HID library runs under test against an emulated device node.
  umockdev
  libumockdev-dev
)

# Only scripts/fuzz.sh asks for these (setup.sh --fuzz): clang with its
# sanitizer and libFuzzer runtimes. The normal build does not need them.
fuzz_packages() {
  packages+=(clang libclang-rt-dev)
}
if [ "${1:-}" = "--fuzz" ]; then
  fuzz_packages
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi

echo "Installing missing packages: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update
"${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
