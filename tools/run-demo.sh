#!/bin/sh
# Starts the bundled controller simulator on 127.0.0.5, runs the demo against it, stops it.
# The library's diagnostic lines go to build/demo-diagnostics.log.
set -eu
build=${1:-build}
address=127.0.0.5
"$build/simulator/cnc-simulator" --listen "$address" > "$build/simulator.out" 2>&1 &
sim=$!
trap 'kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true' EXIT INT TERM
for _ in $(seq 50); do
  grep -q listening "$build/simulator.out" 2>/dev/null && break
  kill -0 "$sim" 2>/dev/null || { cat "$build/simulator.out"; exit 1; }
  sleep 0.1
done
"$build/examples/demo" "$address" 2> "$build/demo-diagnostics.log"
