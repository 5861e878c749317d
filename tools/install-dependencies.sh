#!/bin/sh
# Installs what the build, the tests, the demo and the benchmarks need (Debian, Ubuntu); with the
# argument qt6 also Qt 6 (the preset qt6), with packaging what building and checking the Debian
# packages needs (the preset deb, tools/check-packages.sh).
# As root apt-get runs directly, since a fresh container has no sudo; any other user goes
# through sudo.
set -eu
packages="cmake g++ make clang pkg-config qtbase5-dev qtbase5-private-dev libqt5serialport5-dev libgtest-dev libgmock-dev googletest
  libbenchmark-dev libmodbus-dev socat python3-pyftpdlib binutils python3-venv python3-wheel python3-setuptools
  python3-pytest libmosquitto-dev mosquitto mosquitto-clients prometheus abigail-tools ccache"
for set in "$@"; do
  case "$set" in
    qt6) packages="$packages qt6-base-dev qt6-base-private-dev qt6-serialport-dev" ;;
    packaging) packages="$packages dpkg-dev file lintian adduser" ;;
    *) echo "install-dependencies.sh: no package set '$set' (qt6, packaging)" >&2; exit 2 ;;
  esac
done
if [ "$(id -u)" -eq 0 ]; then
  as_root=
elif command -v sudo > /dev/null 2>&1; then
  as_root=sudo
else
  echo "install-dependencies.sh: needs root, or sudo for this user" >&2
  exit 1
fi
$as_root env DEBIAN_FRONTEND=noninteractive apt-get update
# shellcheck disable=SC2086 # one word per package
$as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $packages
