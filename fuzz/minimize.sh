#!/bin/sh
# Minimizes the checked-in corpus of each READER after a run of fuzz/run.sh:
# the named seeds stay as they are; every target that reads the corpus (both
# revisions; the move targets and the reference comparison share one) then
# merges the checked-in inputs and its work corpus into a fresh directory,
# keeping only inputs that add coverage. The result replaces corpus/READER.
#   fuzz/minimize.sh READER...
set -eu
cd "$(dirname "$0")"
here=$(pwd)
out=$here/out
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"

for reader in "$@"; do
  [ -d "$here/corpus/$reader" ] || { echo "minimize.sh: no corpus/$reader" >&2; exit 2; }
  targets=""
  candidates="fuzz_$reader fuzz_${reader}_700"
  [ "$reader" = move ] && candidates="$candidates fuzz_move_reference fuzz_move_reference_700"
  for target in $candidates; do
    [ -x "$out/build/$target" ] && targets="$targets $target"
  done
  fresh=$out/minimized/$reader
  rm -rf "$fresh"
  mkdir -p "$fresh"
  # Named seeds document a case; hashed ones are the fuzzer's own.
  for seed in "$here/corpus/$reader"/*; do
    basename "$seed" | grep -Eqv '^[0-9a-f]{40}$' && cp "$seed" "$fresh/"
  done
  dict=""
  [ -f "$here/dict/$reader.dict" ] && dict="-dict=$here/dict/$reader.dict"
  for target in $targets; do
    work=$out/corpus/$target
    mkdir -p "$work"
    "$out/build/$target" $dict -merge=1 -max_len=8192 -timeout=10 -rss_limit_mb=2048 \
      "$fresh" "$here/corpus/$reader" "$work" >"$out/$target.merge.log" 2>&1 ||
      { echo "$target: merge failed; see $out/$target.merge.log" >&2; exit 1; }
  done
  before=$(ls "$here/corpus/$reader" | wc -l)
  rm -rf "$here/corpus/$reader"
  cp -r "$fresh" "$here/corpus/$reader"
  echo "$reader: $before inputs before, $(ls "$here/corpus/$reader" | wc -l) after ($targets )"
done
