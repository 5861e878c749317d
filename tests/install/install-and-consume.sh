#!/bin/sh
# Installs the built library into a scratch prefix and builds a program against that copy
# twice: through the CMake package and through pkg-config; the installed simulator program
# must answer --version, and the installed cnccomm --version and --help, finding the installed
# library beside its bin/ folder.
set -eu
build=$1
source_dir=$2
version=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cmake --install "$build" --prefix "$scratch/prefix" > /dev/null
test -f "$scratch/prefix/include/AsyncCommModule.h"
test -x "$scratch/prefix/bin/cnc-simulator"
test "$("$scratch/prefix/bin/cnc-simulator" --version)" = "cnc-simulator $version"
test -f "$scratch/prefix/include/AsyncCommModuleLoader.h"
test -f "$scratch/prefix/include/AsyncCommModuleResults.h"
test -x "$scratch/prefix/bin/cnccomm"
cnccomm_version=$(env -u ACM_LIBRARY "$scratch/prefix/bin/cnccomm" --version)
test "$(echo "$cnccomm_version" | sed -n 1p)" = "cnccomm $version"
echo "$cnccomm_version" | sed -n 2p | grep -q "^library: $scratch/prefix/.*/libAsyncCommModule.so.1"
"$scratch/prefix/bin/cnccomm" --help | grep -q "^Usage: cnccomm"
cmake -S "$source_dir/consumer" -B "$scratch/cmake-build" -DCMAKE_PREFIX_PATH="$scratch/prefix" > /dev/null
cmake --build "$scratch/cmake-build" > /dev/null
"$scratch/cmake-build/consumer"
libdir=$(dirname "$(find "$scratch/prefix" -name 'AsyncCommModule.pc')")
flags=$(PKG_CONFIG_PATH="$libdir" pkg-config --cflags --libs AsyncCommModule)
cc -o "$scratch/pc-consumer" "$source_dir/consumer/consumer.c" $flags
LD_LIBRARY_PATH="$(dirname "$libdir")" "$scratch/pc-consumer"
