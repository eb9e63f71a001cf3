#!/usr/bin/env bash
# Runs the benchmark of the main loop on the unit and its literal reference
# build (see tarvo_bench.cpp for the workload).
#
#   bench/run.sh BENCH FAST_LIBRARY LITERAL_LIBRARY [PORTABLE_LIBRARY]
#       timing of the default workload (10^6 internal steps) on both (and the
#       portable build against the unit, their cos and sin differing), then
#       instructions per internal step of each under callgrind on a short
#       run of 20 communication steps;
#   bench/run.sh --check BENCH FAST_LIBRARY LITERAL_LIBRARY
#       the short run only: both must end with the same hash, and the fast
#       build must stay within the instruction budget. Exit status 77 when
#       valgrind is missing or the C library's sincos is not the variant
#       the budget is set for.
set -euo pipefail

check=0
if [ "${1:-}" = "--check" ]; then
  check=1
  shift
fi
if [ $# -ne 3 ] && [ $# -ne 4 ]; then
  echo "usage: bench/run.sh [--check] BENCH FAST_LIBRARY LITERAL_LIBRARY [PORTABLE_LIBRARY]" >&2
  exit 2
fi
bench=$1
fast=$2
literal=$3
portable=${4:-}
short_steps=20
budget=1350

# Instructions per internal step of one library: callgrind counts only the
# loop of fmi2DoStep calls, divided by the internal steps of the short run.
# With a second argument, the variant of the C library's sincos that ran
# is written to that file.
instructions_per_step() {
  local library=$1 out
  out=$(mktemp)
  valgrind --tool=callgrind --toggle-collect=tarvo_bench_step_loop \
    --callgrind-out-file="$out" "$bench" --steps "$short_steps" --repeats 1 "$library" \
    >/dev/null 2>&1
  local total
  total=$(awk '/^totals:/ {print $2}' "$out")
  if [ -n "${2:-}" ]; then
    grep -ao '__sincos_[a-z0-9]*' "$out" | head -n 1 >"$2" || true
  fi
  rm -f "$out"
  local steps
  steps=$("$bench" --steps "$short_steps" --repeats 1 "$library" |
          sed -n 's/.* \([0-9]*\) internal steps.*/\1/p')
  echo $((total / steps))
}

if [ "$check" -eq 1 ]; then
  # Same hash after a short run (the bench exits 1 when the hashes differ).
  "$bench" --steps "$short_steps" --repeats 1 "$fast" "$literal"
  if ! command -v valgrind >/dev/null; then
    echo "valgrind is missing: instruction budget not checked" >&2
    exit 77
  fi
  variant_file=$(mktemp)
  count=$(instructions_per_step "$fast" "$variant_file")
  sincos_variant=$(cat "$variant_file")
  rm -f "$variant_file"
  echo "instructions per internal step: $count (budget $budget)"
  # The budget holds with the C library's sincos for CPUs with FMA, which
  # glibc picks on nearly every x86-64 machine; its other variants take
  # more instructions per call, which the unit cannot change.
  if [ -n "$sincos_variant" ] && [ "$sincos_variant" != "__sincos_fma" ]; then
    echo "the C library ran $sincos_variant: the budget is set for __sincos_fma, not checked" >&2
    exit 77
  fi
  [ "$count" -le "$budget" ]
  exit
fi

"$bench" "$fast" "$literal"
if [ -n "$portable" ]; then
  echo "portable build (reference column) against the unit:"
  "$bench" --other-cos-sin "$fast" "$portable"
fi
if command -v valgrind >/dev/null; then
  echo "instructions per internal step (callgrind, $short_steps communication steps):"
  echo "  fast      $(instructions_per_step "$fast")"
  echo "  reference $(instructions_per_step "$literal")"
  if [ -n "$portable" ]; then
    echo "  portable  $(instructions_per_step "$portable")"
  fi
fi
