#!/bin/sh
# Checks the Debian packages that `cpack -G DEB` wrote into a folder by installing them on this
# machine as a plant would (root, apt-get): lintian finds no error; examples/first_steps.c builds
# against the installed libasynccomm-dev with pkg-config and with CMake and runs against the
# installed cnc-simulator; Debian's Python imports asynccomm and talks to a controller; cnccomm
# finds the installed library; cnc-bridge accepts its installed configuration and runs as its own
# user; purging removes every file again.
#   tools/check-packages.sh build-deb/packages
set -eu
export QT_LOGGING_RULES=acm.debug=false # the library's diagnostic lines would drown the findings
dir=$(cd "$1" && pwd)
source_dir=$(cd "$(dirname "$0")/.." && pwd)
packages="libasynccomm1 libasynccomm-dev cnccomm cnc-simulator cnc-bridge python3-asynccomm"
apt() { env DEBIAN_FRONTEND=noninteractive apt-get -y -q "$@" > "$scratch/apt.log" 2>&1 || { cat "$scratch/apt.log"; exit 1; }; }
fail() { echo "check-packages: $*" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || fail "needs root (it installs the packages with apt-get)"
for package in $packages; do
  ! dpkg -s "$package" > /dev/null 2>&1 || fail "$package is installed already; purge it first"
done
scratch=$(mktemp -d)
simulator=""
cleanup() {
  if [ -n "$simulator" ]; then
    kill "$simulator" 2> /dev/null || true
    wait "$simulator" 2> /dev/null || true
  fi
  for package in $packages; do # a failed check leaves the machine as it found it
    if dpkg -s "$package" > /dev/null 2>&1; then
      env DEBIAN_FRONTEND=noninteractive apt-get -y -q purge $packages > /dev/null 2>&1 || true
      break
    fi
  done
  rm -rf "$scratch"
}
trap cleanup EXIT

# Every path on the system that names one of the programs or the library (outside dpkg's and
# apt's own records).
our_paths() {
  find /etc /usr /var /opt /srv -xdev \( -path /var/lib/dpkg -o -path /var/lib/apt -o -path /var/cache \
    -o -path /var/log \) -prune -o \( -iname '*asynccomm*' -o -name '*cnccomm*' -o -name '*cnc-simulator*' \
    -o -name '*cnc-bridge*' \) -print 2> /dev/null | sort
}

lintian --fail-on error --no-tag-display-limit "$dir"/*.deb || fail "lintian found errors"
our_paths > "$scratch/before"
apt install "$dir"/*.deb
for package in $packages; do
  dpkg -s "$package" | grep -q "^Status: install ok installed" || fail "$package is not installed"
  dpkg -L "$package" >> "$scratch/owned"
done

# The installed simulator on a free loopback address (it says "listening" once it is).
for host in $(seq 200 229); do
  address="127.0.0.$host"
  cnc-simulator --listen "$address" > "$scratch/simulator.out" 2>&1 &
  simulator=$!
  timeout 5 tail -F -n +1 --pid="$simulator" "$scratch/simulator.out" 2> /dev/null | grep -q -m1 listening && break
  wait "$simulator" 2> /dev/null || true
  simulator=""
done
[ -n "$simulator" ] || fail "the installed cnc-simulator does not listen"

cc -o "$scratch/first_steps_pc" "$source_dir/examples/first_steps.c" $(pkg-config --cflags --libs AsyncCommModule)
"$scratch/first_steps_pc" "$address" || fail "first_steps built with pkg-config failed"
mkdir "$scratch/cmake"
printf 'cmake_minimum_required(VERSION 3.20)\nproject(first_steps LANGUAGES C)\nfind_package(AsyncCommModule 1.0 REQUIRED)
add_executable(first_steps %s/examples/first_steps.c)\ntarget_link_libraries(first_steps PRIVATE AsyncCommModule::AsyncCommModule)\n' \
  "$source_dir" > "$scratch/cmake/CMakeLists.txt"
cmake -S "$scratch/cmake" -B "$scratch/cmake/build" > /dev/null && cmake --build "$scratch/cmake/build" > /dev/null
"$scratch/cmake/build/first_steps" "$address" || fail "first_steps built with CMake failed"

cnccomm --version | grep -q "^library: /usr/lib/.*libAsyncCommModule.so.1" || fail "cnccomm does not find the installed library"
python_check='import asynccomm
with asynccomm.Simulator() as sim, asynccomm.Controller(sim.address) as ctl:
    ctl.write_vars({1000001: 7}); print(ctl.read_vars([1000001]))'
[ "$(cd "$scratch" && env -u ASYNCCOMM_LIBRARY -u ASYNCCOMM_SIMULATOR -u PYTHONPATH /usr/bin/python3 -c "$python_check")" = "[7]" ] ||
  fail "/usr/bin/python3 cannot use the installed asynccomm"

cnc-bridge --check --config /etc/cnc-bridge/cnc-bridge.ini > /dev/null || fail "cnc-bridge rejects its installed configuration"
dpkg-query -W -f '${Conffiles}' cnc-bridge | grep -q "/etc/cnc-bridge/cnc-bridge.ini" || fail "the configuration is no conffile"
[ "$(stat -c %U /var/lib/cnc-bridge)" = cnc-bridge ] || fail "the state folder does not belong to the user cnc-bridge"
unit=$(find /lib/systemd/system /usr/lib/systemd/system -name cnc-bridge.service 2> /dev/null | head -n 1)
grep -q "^ExecStart=/usr/bin/cnc-bridge " "$unit" && grep -q "^User=cnc-bridge$" "$unit" ||
  fail "the unit does not run /usr/bin/cnc-bridge as cnc-bridge: $unit"

kill "$simulator"
wait "$simulator" 2> /dev/null || true
simulator=""
apt purge $packages
our_paths > "$scratch/after"
left=$(comm -13 "$scratch/before" "$scratch/after")
[ -z "$left" ] || fail "left after purging: $left"
while read -r path; do
  [ -d "$path" ] || [ ! -e "$path" ] || fail "left after purging: $path"
done < "$scratch/owned"
echo "check-packages: $(ls "$dir"/*.deb | wc -l) packages installed, used and purged"
