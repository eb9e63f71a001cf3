#!/usr/bin/env bash
# Builds and runs the latency microbenchmarks of bench/latencies.cpp: the
# latencies of the operations on the internal step's critical path on this
# machine, in ns and in core cycles (docs/performance.md uses them).
#
#   bench/latencies.sh
#
# Needs a C++17 compiler ($CXX, default c++) on x86-64. Run it on an idle
# machine: each figure is the fastest of several rounds, but a busy core
# still slows every round.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"${CXX:-c++}" -std=c++17 -O2 -ffp-contract=off -I"$root/src" \
  "$root/bench/latencies.cpp" "$root/src/trig/correctly_rounded_trig.cpp" \
  -o "$work/latencies" -lm
"$work/latencies"
