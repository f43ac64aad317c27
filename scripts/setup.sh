#!/usr/bin/env bash
# Installs the Debian packages the build, the tool and the tests need; with
# --qt6 (or TORVAN_QT=6 in the environment) those of the Qt 6 build too, with
# --fuzz those of scripts/fuzz.sh.
# Idempotent: only packages that are missing are installed, and the package
# lists are refreshed once, only when something has to be installed.
set -euo pipefail

qt="${TORVAN_QT:-5}"
fuzz=false
for arg in "$@"; do
  case "$arg" in
    --qt6) qt=6 ;;
    --fuzz) fuzz=true ;;
    *) echo "usage: $0 [--qt6] [--fuzz]" >&2; exit 2 ;;
  esac
done

packages=(
  build-essential
  cmake
  pkg-config
  qtbase5-dev
  qtbase5-dev-tools
  libqcustomplot-dev
  libhidapi-dev
  libbenchmark-dev
  # torvan60ctl serve --mqtt: the client library; the broker and its
  # command-line clients for the MQTT tests, the benchmark and docs/mqtt.md;
  # openssl makes the certificates of the TLS test.
  libmosquitto-dev
  mosquitto
  mosquitto-clients
  openssl
  # Sparkplug B payloads of serve --sparkplug: protoc compiles the schema,
  # the lite runtime encodes and decodes.
  protobuf-compiler
  libprotobuf-dev
  # Installation and packaging tests: desktop entry check, Debian package
  # with its dependencies worked out from the executable.
  desktop-file-utils
  dpkg-dev
  file
  # The manual pages and the bash completion the build makes: read by man
  # (man-db, with groff-base) and bash-completion in the tests, as a user
  # reads them after installing.
  man-db
  groff-base
  bash-completion
  # The real HID library runs under test against an emulated device node.
  umockdev
  libumockdev-dev
  # The window's translations: lupdate and lrelease with their CMake macros
  # (Qt5LinguistTools), and Qt's own German for its dialogs (qtbase_de.qm:
  # message box buttons, file dialog), loaded with the window's.
  qttools5-dev
  qttools5-dev-tools
  qttranslations5-l10n
  # The Python package: its compiled module and its tests.
  python3-dev
  pybind11-dev
  python3-pytest
  # The tests of a Python test file run side by side (they mostly wait for
  # simulated boards in real time).
  python3-pytest-xdist
)
if [ "$qt" = 6 ]; then
  # The chart library's Qt 6 build comes with libqcustomplot-dev.
  packages+=(qt6-base-dev qt6-base-dev-tools libqcustomplot2.1-qt6)
  # The translations on Qt 6: Qt6LinguistTools (qt6-tools-dev), the lupdate
  # and lrelease it runs (qt6-l10n-tools), and Qt's own German.
  packages+=(qt6-tools-dev qt6-l10n-tools qt6-translations-l10n)
fi

# Only scripts/fuzz.sh asks for these (setup.sh --fuzz): clang with its
# sanitizer and libFuzzer runtimes. The normal build does not need them.
if [ "$fuzz" = true ]; then
  packages+=(clang libclang-rt-dev)
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
