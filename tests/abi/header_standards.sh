#!/bin/sh
# The public header compiles cleanly, -Wall -Wextra -Werror -pedantic, under every language
# standard a caller may build with, with each compiler given (C compiler, C++ compiler, ...).
set -eu
api=$1
shift
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
printf '#include "AsyncCommModule.h"\nint main(void) { return removeTargetCnc(0) ? 1 : 0; }\n' > "$scratch/caller.c"
cp "$scratch/caller.c" "$scratch/caller.cpp"
failures=0
for compiler in "$@"; do
  case "$compiler" in
    *++*) standards="c++98 c++11 c++17" source=caller.cpp ;;
    *) standards="c89 c99 c11" source=caller.c ;;
  esac
  for standard in $standards; do
    if ! "$compiler" -std="$standard" -Wall -Wextra -Werror -pedantic -I"$api" -fsyntax-only "$scratch/$source"; then
      echo "FAIL: $compiler -std=$standard" >&2
      failures=$((failures + 1))
    fi
  done
done
[ "$failures" -eq 0 ]
