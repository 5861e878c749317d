#!/bin/sh
# tools/install-dependencies.sh against stand-ins for id, sudo and apt-get that record their
# calls: apt-get runs directly for root, through sudo for anyone else, refuses without sudo,
# installs the full package list after an update (with the sets asked for), and stops when the
# update fails or a set is unknown. The README's
# set-up command and the CI script use it.
set -eu
source_dir=$1
script="$source_dir/tools/install-dependencies.sh"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# Stand-ins. with-sudo has sudo; without-sudo has only what the script needs besides it.
for dir in with-sudo without-sudo; do
  mkdir -p "$scratch/$dir"
  printf '#!/bin/sh\necho "$FAKE_UID"\n' > "$scratch/$dir/id"
  printf '#!/bin/sh\necho "apt-get $* [DEBIAN_FRONTEND=${DEBIAN_FRONTEND:-}]" >> "$CALLS"
[ "$1" != update ] || [ -z "${FAKE_UPDATE_FAILS:-}" ]\n' > "$scratch/$dir/apt-get"
  ln -s "$(command -v env)" "$scratch/$dir/env"
done
printf '#!/bin/sh\necho "sudo" >> "$CALLS"\nexec "$@"\n' > "$scratch/with-sudo/sudo"
chmod +x "$scratch"/*/id "$scratch"/*/apt-get "$scratch/with-sudo/sudo"

# Runs the script as user $1 with the stand-ins of $2; leaves its calls in $scratch/calls.
run() {
  : > "$scratch/calls"
  CALLS="$scratch/calls" FAKE_UID=$1 PATH="$scratch/$2" /bin/sh "$script" $SETS > "$scratch/out" 2>&1
}

packages="cmake g++ make clang pkg-config qtbase5-dev qtbase5-private-dev libqt5serialport5-dev libgtest-dev libgmock-dev googletest
  libbenchmark-dev libmodbus-dev socat python3-pyftpdlib binutils python3-venv python3-wheel python3-setuptools
  python3-pytest libmosquitto-dev mosquitto mosquitto-clients prometheus abigail-tools ccache"
sets="qt6-base-dev qt6-base-private-dev qt6-serialport-dev dpkg-dev file lintian adduser"
install_line="apt-get install -y --no-install-recommends $(echo $packages) [DEBIAN_FRONTEND=noninteractive]"
sets_line="apt-get install -y --no-install-recommends $(echo $packages $sets) [DEBIAN_FRONTEND=noninteractive]"
update_line="apt-get update [DEBIAN_FRONTEND=noninteractive]"

# check NAME USER STAND-INS STATUS CALLS: the script's exit status (0 or 1) and its calls.
check() {
  status=0
  run "$2" "$3" || status=1
  [ "$status" = "$4" ] || fail "$1: exit status $status: $(cat "$scratch/out")"
  [ "$(cat "$scratch/calls")" = "$5" ] || fail "$1: got
$(cat "$scratch/calls")"
}
SETS=
check "as root, without sudo" 0 with-sudo 0 "$(printf '%s\n%s' "$update_line" "$install_line")"
check "as a user, through sudo" 1000 with-sudo 0 "$(printf 'sudo\n%s\nsudo\n%s' "$update_line" "$install_line")"
check "a user without sudo" 1000 without-sudo 1 ""
grep -q "sudo" "$scratch/out" || fail "a user without sudo: no message naming sudo: $(cat "$scratch/out")"
export FAKE_UPDATE_FAILS=1
check "a failed update" 0 with-sudo 1 "$update_line"
unset FAKE_UPDATE_FAILS
SETS="qt6 packaging" check "with Qt 6 and packaging" 0 with-sudo 0 "$(printf '%s\n%s' "$update_line" "$sets_line")"
SETS="qt7" check "an unknown set" 0 with-sudo 1 ""

# The README opens with the set-up command and the test command; neither needs sudo.
readme_setup=$(sed -n 4p "$source_dir/README.md")
[ "$readme_setup" = "tools/install-dependencies.sh && cmake -S . -B build && cmake --build build -j2 && tools/run-demo.sh build" ] ||
  fail "README set-up command: $readme_setup"
sed -n 5p "$source_dir/README.md" | grep -q "ctest" || fail "README test command: $(sed -n 5p "$source_dir/README.md")"
! sed -n 4,5p "$source_dir/README.md" | grep -n "sudo" || fail "a README command uses sudo"
grep -q "^tools/install-dependencies.sh" "$source_dir/.ci/run" || fail "the CI script does not use tools/install-dependencies.sh"
! grep -n "apt-get" "$source_dir/.ci/run" || fail "the CI script keeps a package list of its own"

[ "$failures" -eq 0 ]
