#!/bin/sh
# pofhost's peak memory on a 10 MB and a 200 MB generated job, in each output
# mode, each run a fresh process (GNU time's maximum resident set). The lines,
# JSON Lines and --summary stream: their peak must not grow with the file.
# --svg and --html keep every move, so they grow by a fixed amount per move,
# printed per move. Builds into build-bench; the jobs go to /tmp and are
# deleted afterwards.
#   bench/pofhost-memory.sh [--no-pictures]
set -eu
cd "$(dirname "$0")/.."
pictures=1
[ "${1:-}" = "--no-pictures" ] && pictures=0
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DPOFREADER_BUILD_TESTS=OFF \
  -DPOFREADER_BUILD_BENCH=ON >/dev/null
cmake --build build-bench --target pofhost pofgen -j2 >/dev/null
root=$(pwd)
dir=$(mktemp -d /tmp/pofhost-memory.XXXXXX)
trap 'rm -rf "$dir"' EXIT
cp examples/pofreader.def "$dir"/
peak() {  # peak resident KiB of pofhost with the given options on the job in $dir
  (cd "$dir" && rm -f EDK.TXT && /usr/bin/time -f %M -o time.txt "$root/build-bench/pofhost" "$@" -- -Sjob >/dev/null)
  cat "$dir/time.txt"
}
modes="text json summary"
[ "$pictures" = 1 ] && modes="$modes svg html"
printf '%-9s %12s %10s' toolpath bytes moves
for mode in $modes; do printf ' %10s' "$mode"; done
printf '   (peak resident KiB)\n'
for bytes in 10000000 200000000; do
  build-bench/bench/pofgen --bytes "$bytes" --dir "$dir" --name job >"$dir/gen.txt"
  moves=$(sed -n 's/.* \([0-9][0-9]*\) moves.*/\1/p' "$dir/gen.txt")
  printf '%-9s %12s %10s' "$((bytes / 1000000)) MB" "$(stat -c %s "$dir/job.pof")" "${moves:-?}"
  for mode in $modes; do
    case $mode in
      text) kib=$(peak) ;;
      json) kib=$(peak --format json) ;;
      summary) kib=$(peak --summary) ;;
      svg) kib=$(peak --svg "$dir/job.svg") ;;
      html) kib=$(peak --html "$dir/job.html") ;;
    esac
    printf ' %10s' "$kib"
    eval "peak_${mode}_$bytes=$kib"
  done
  printf '\n'
  eval "moves_$bytes=${moves:-0}"
done
for mode in $modes; do
  eval "small=\$peak_${mode}_10000000 large=\$peak_${mode}_200000000"
  line="$mode: 200 MB - 10 MB $((large - small)) KiB"
  if [ "$moves_200000000" -gt "$moves_10000000" ]; then
    line="$line, $(awk "BEGIN { printf \"%.0f\", ($large - $small) * 1024 / ($moves_200000000 - $moves_10000000) }") bytes per move"
  fi
  echo "$line"
done
