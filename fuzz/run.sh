#!/bin/sh
# Builds every fuzz target with clang and libFuzzer, replays the checked-in
# corpora, then fuzzes each target for SECONDS (default 15).
#   fuzz/run.sh [SECONDS] [TARGET...]
# FUZZ_RUNS=N also ends each target after N executions, whichever comes first.
# New inputs go to fuzz/out/corpus/<target>; a finding is written to
# fuzz/out/crash-<target>-* and makes the script fail.
set -eu
cd "$(dirname "$0")"
here=$(pwd)
seconds=${1:-15}
[ $# -gt 0 ] && shift
# Absolute paths: some targets work in a scratch directory of their own.
out=$here/out
cxx=${FUZZ_CXX:-}
if [ -z "$cxx" ]; then
  for candidate in clang++ clang++-14 clang++-15 clang++-16; do
    if command -v "$candidate" >/dev/null 2>&1; then cxx=$candidate; break; fi
  done
fi
[ -n "$cxx" ] || { echo "fuzz/run.sh: clang++ not found" >&2; exit 2; }

# FUZZ_SKIP_BUILD=1 runs what is built (for several runs side by side).
if [ "${FUZZ_SKIP_BUILD:-0}" != 1 ]; then
  cmake -S . -B "$out/build" -DCMAKE_CXX_COMPILER="$cxx" >/dev/null
  cmake --build "$out/build" -j 2 >/dev/null
fi

targets="$*"
if [ -z "$targets" ]; then
  targets="fuzz_pof_run fuzz_pof_run_700 fuzz_move fuzz_move_700 fuzz_split_name_value
    fuzz_split_name_value_700 fuzz_qdx_text fuzz_qdx_text_700 fuzz_key_file fuzz_line_file
    fuzz_section_file fuzz_parse_triple fuzz_move_reference fuzz_move_reference_700"
fi

# Leaks are findings too; no output files of the readers outside a scratch dir.
# A quarantine of 16 MB still holds every block a run frees for many runs; the
# default 256 MB hands each run fresh pages, and their faults cost the
# whole-run target a fifth of its time.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:quarantine_size_mb=16${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"

status=0
passed=0
failed=0
for target in $targets; do
  reader=${target%_700}
  reader=${reader#fuzz_}
  # The reference comparison starts from the move target's seeds.
  [ "$reader" = move_reference ] && reader=move
  seeds=$here/corpus/$reader
  work=$out/corpus/$target
  mkdir -p "$work"
  dict=""
  [ -f "$here/dict/$reader.dict" ] && dict="-dict=$here/dict/$reader.dict"
  # The checked-in seeds first: each must pass on its own.
  if [ -d "$seeds" ]; then
    if ! "$out/build/$target" $dict -runs=0 "$seeds" >"$out/$target.replay.log" 2>&1; then
      echo "$target: a checked-in input fails; see $out/$target.replay.log" >&2
      status=1
      failed=$((failed + 1))
      continue
    fi
  fi
  started=$(date +%s)
  if "$out/build/$target" $dict -max_total_time="$seconds" ${FUZZ_RUNS:+-runs=$FUZZ_RUNS} \
      -timeout=10 -rss_limit_mb=2048 -max_len=8192 -artifact_prefix="$out/crash-$target-" \
      -print_final_stats=1 "$work" $( [ -d "$seeds" ] && echo "$seeds") >"$out/$target.log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$out/$target.log")
    cov=$(grep -o 'cov: [0-9]*' "$out/$target.log" | tail -n 1)
    echo "$target: ok, $runs runs, $cov, $(($(date +%s) - started)) s"
    passed=$((passed + 1))
  else
    echo "$target: FINDING; see $out/$target.log" >&2
    tail -n 30 "$out/$target.log" >&2
    status=1
    failed=$((failed + 1))
  fi
done
echo "fuzz: $passed passed, $failed failed"
exit $status
