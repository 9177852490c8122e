#!/usr/bin/env bash
# Installs every Debian 12 package the project builds and tests with.
# Idempotent: when all packages are present it changes nothing and exits 0.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ qt6-base-dev libexpat1-dev nettle-dev libnl-route-3-dev
  libgtest-dev libgmock-dev libcli11-dev libinih-dev libbenchmark-dev pkg-config
  # test peers and tools
  curl tftp-hpa atftp tftpd-hpa iproute2 xvfb
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup-packages: all ${#packages[@]} packages present"
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "setup-packages: missing ${missing[*]}; run as root to install them" >&2
  exit 1
fi

echo "setup-packages: installing ${missing[*]}"
# Test peers such as tftpd-hpa must not start system services on port 69:
# the tests start their own servers on unprivileged loopback ports.
policy=/usr/sbin/policy-rc.d
made_policy=0
if [ ! -e "$policy" ]; then
  printf '#!/bin/sh\nexit 101\n' >"$policy"
  chmod +x "$policy"
  made_policy=1
fi
trap '[ "$made_policy" = 1 ] && rm -f "$policy"' EXIT

export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
