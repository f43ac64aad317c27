#!/usr/bin/env bash
# Checks a package of the tool on a clean Debian 12: builds a minimal system
# with debootstrap (from Debian's mirror), installs the .deb in it with apt,
# then starts the tool headless from an unrelated folder with
# --simulate --check, which must find every picture and write its log there.
# Needs root and network; takes a few minutes. Not part of ./test.sh.
#   sudo scripts/check-clean-debian.sh dist/torvan60_1.23-1_amd64.deb [ROOT_DIR]
# ROOT_DIR (default: a fresh temporary folder) is kept afterwards; a second
# run may reuse it to save the download, but it is then no longer clean.
# Delete it when done.
set -euo pipefail
deb="$(realpath "$1")"
root="${2:-$(mktemp -d /tmp/torvan-debian12.XXXXXX)}"
mirror="${DEBIAN_MIRROR:-http://deb.debian.org/debian}"

[ "$(id -u)" -eq 0 ] || { echo "run as root" >&2; exit 2; }
command -v debootstrap >/dev/null || apt-get install -y debootstrap

if [ ! -x "$root/usr/bin/apt-get" ]; then
  debootstrap --variant=minbase bookworm "$root" "$mirror"
fi
cp /etc/resolv.conf "$root/etc/resolv.conf"
mountpoint -q "$root/proc" || mount -t proc proc "$root/proc"
trap 'umount "$root/proc" 2>/dev/null || true' EXIT

cp "$deb" "$root/tmp/"
chroot "$root" /bin/sh -ec "
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get purge -y -q torvan60 >/dev/null 2>&1 || true
  cd /tmp && apt-get install -y -q ./$(basename "$deb")
  rm -rf /srv/elsewhere && mkdir -p /srv/elsewhere && cd /srv/elsewhere
  HOME=/root QT_QPA_PLATFORM=offscreen torvan60 --simulate --check
  grep 'Application started' /srv/elsewhere/log.txt
"
echo "Installed and started on a clean Debian 12 in $root: OK"
