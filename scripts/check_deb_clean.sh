#!/usr/bin/env bash
# Installs the Debian package into a clean Debian 12 (a minimal system made
# by debootstrap, in a chroot) with apt, which fetches the dependencies the
# package declares and nothing else, then renders the bundled showcase and
# the blend-mode sheet there. Needs root and the Debian mirror; not part of
# CI (the CTest install_staging test unpacks the package on the build machine,
# whose libraries are all present).
#
#   sudo scripts/check_deb_clean.sh PACKAGE.deb [CHROOT_DIR]
set -euo pipefail
deb=$(realpath "$1")
root=${2:-/var/tmp/tessary-clean-bookworm}

if [ ! -x "$root/usr/bin/apt-get" ]; then
  command -v debootstrap > /dev/null || apt-get install -y -qq debootstrap
  debootstrap --variant=minbase bookworm "$root" http://deb.debian.org/debian
fi
mount --bind /proc "$root/proc"
trap 'umount "$root/proc"' EXIT
cp "$deb" "$root/tmp/tessary.deb"
chroot "$root" /bin/sh -euc '
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends /tmp/tessary.deb > /tmp/apt.log
  cd /tmp
  tessary --version
  tessary render /usr/share/tessary/examples/showcase.json -o showcase.png --size 256 -q
  tessary modes -o modes.png --tile 32 > /dev/null
  tessary render /usr/share/tessary/examples/showcase.json -o showcase.exr --size 64 -q
  ls -l showcase.png modes.png showcase.exr
'
echo "the package installs and renders on a clean Debian 12 ($root)"
