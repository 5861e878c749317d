#!/bin/sh
# The two ways in that the README gives: `cmake --install` (the package finds the installed
# library and simulator by itself) and pip into a fresh virtual environment with no index, which
# leaves the source folder as it was and registers the pytest plugin.
set -eu
build=$1
package=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
check='import asynccomm
assert asynccomm.errors.text_meaning("program is runing.")  # the meanings table came along
with asynccomm.Simulator() as sim, asynccomm.Controller(sim.address) as ctl:
    ctl.write_vars({1000001: 7}); print(ctl.read_vars([1000001]))'
cmake --install "$build" --prefix "$scratch/prefix" > /dev/null
test "$(env -u ASYNCCOMM_LIBRARY -u ASYNCCOMM_SIMULATOR PATH=/usr/bin:/bin \
    PYTHONPATH="$scratch/prefix/lib/python3/dist-packages" /usr/bin/python3 -c "$check")" = "[7]"

cp -r "$package" "$scratch/source"
mkdir "$scratch/api" && cp "$package/../api/AsyncCommModuleMeanings.tsv" "$scratch/api/"  # beside python/, as in git
rm -rf "$scratch/source/build" "$scratch/source"/*.egg-info
before=$(find "$scratch/source" | sort)
# Debian's pip from the system's packages installs into the environment; seeding one is slow.
/usr/bin/python3 -m venv --system-site-packages --without-pip "$scratch/venv"
"$scratch/venv/bin/python" -m pip install --no-build-isolation --no-index "$scratch/source" > /dev/null
test "$(find "$scratch/source" -not -path '*/__pycache__*' | sort)" = "$(echo "$before" | grep -v __pycache__)"
cat > "$scratch/test_mine.py" <<'EOF'
import importlib.metadata, asynccomm
def test_mine(cnc):  # the plugin's fixture, with no conftest
    assert asynccomm.errors.text_meaning("program is runing.")  # the meanings table came along
    cnc.write_vars({1000001: 7})
    assert cnc.read_vars([1000001]) == [7] and importlib.metadata.version("asynccomm") == asynccomm.__version__
EOF
ASYNCCOMM_LIBRARY="$scratch/prefix/lib/libAsyncCommModule.so.1" PATH="$scratch/prefix/bin:/usr/bin:/bin" \
    env -u ASYNCCOMM_SIMULATOR -u PYTHONPATH "$scratch/venv/bin/python" -m pytest -q -p no:cacheprovider \
    "$scratch/test_mine.py" > /dev/null
