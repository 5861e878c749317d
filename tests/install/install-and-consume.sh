#!/bin/sh
# Installs the built library into a scratch prefix and builds a program against that copy
# twice, through the CMake package and through pkg-config; both run against the installed
# simulator program, which must also answer --version; the installed cnccomm answers --version
# and --help, finding the installed library beside its bin/ folder.
set -eu
build=$1
source_dir=$2
version=$3
scratch=$(mktemp -d)
simulator=""
cleanup() {
    if [ -n "$simulator" ]; then
        kill "$simulator" 2>/dev/null || true
        wait "$simulator" 2>/dev/null || true
    fi
    rm -rf "$scratch"
}
trap cleanup EXIT
cmake --install "$build" --prefix "$scratch/prefix" > /dev/null
for header in AsyncCommModule AsyncCommModuleLoader AsyncCommModuleResults; do test -f "$scratch/prefix/include/$header.h"; done
for program in cnc-simulator cnccomm; do test -x "$scratch/prefix/bin/$program"; done
test "$("$scratch/prefix/bin/cnc-simulator" --version)" = "cnc-simulator $version"
cnccomm_version=$(env -u ACM_LIBRARY "$scratch/prefix/bin/cnccomm" --version)
test "$(echo "$cnccomm_version" | sed -n 1p)" = "cnccomm $version"
echo "$cnccomm_version" | sed -n 2p | grep -q "^library: $scratch/prefix/.*/libAsyncCommModule.so.1"
"$scratch/prefix/bin/cnccomm" --help | grep -q "^Usage: cnccomm"
# The installed bridge finds the library through its run path and accepts its installed example.
if [ -x "$scratch/prefix/bin/cnc-bridge" ]; then
    test "$("$scratch/prefix/bin/cnc-bridge" --version)" = "cnc-bridge $version"
    "$scratch/prefix/bin/cnc-bridge" --check --config "$scratch/prefix/share/cnc-bridge/cnc-bridge.ini.example" > /dev/null
    # Its unit runs the installed program and keeps the exposure systemd rates low; its pages are there.
    unit="$scratch/prefix/share/cnc-bridge/cnc-bridge.service"
    grep -q "^ExecStart=$scratch/prefix/bin/cnc-bridge " "$unit"
    for page in man1/cnc-bridge.1 man5/cnc-bridge.ini.5; do test -f "$scratch/prefix/share/man/$page"; done
    if command -v systemd-analyze > /dev/null; then systemd-analyze security --offline=true --threshold=20 "$unit" > /dev/null; fi
fi

# The installed simulator on a free loopback address of its own (it says "listening" once it is).
for host in $(seq 230 250); do
    address="127.0.0.$host"
    "$scratch/prefix/bin/cnc-simulator" --listen "$address" > "$scratch/simulator.out" 2>&1 &
    simulator=$!
    timeout 5 tail -F -n +1 --pid="$simulator" "$scratch/simulator.out" 2>/dev/null | grep -q -m1 listening && break
    wait "$simulator" 2>/dev/null || true
    simulator=""
done
test -n "$simulator"

cmake -S "$source_dir/consumer" -B "$scratch/cmake-build" -DCMAKE_PREFIX_PATH="$scratch/prefix" > /dev/null
cmake --build "$scratch/cmake-build" > /dev/null
"$scratch/cmake-build/consumer" "$address" 2>/dev/null
libdir=$(dirname "$(find "$scratch/prefix" -name 'AsyncCommModule.pc')")
flags=$(PKG_CONFIG_PATH="$libdir" pkg-config --cflags --libs AsyncCommModule)
cc -o "$scratch/pc-consumer" "$source_dir/consumer/consumer.c" $flags
LD_LIBRARY_PATH="$(dirname "$libdir")" "$scratch/pc-consumer" "$address" 2>/dev/null
