#!/bin/sh
# Measures pofhost's 3D page on a generated job (1,000,000 moves unless given):
# the time pofhost takes to write it, its size, and the time headless Chromium
# takes to open and draw it (the page's own figure, from the start of loading
# to the first picture, and the whole browser run). Builds into build-bench.
#   bench/html-page.sh [MOVES]
set -eu
cd "$(dirname "$0")/.."
moves=${1:-1000000}
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DPOFREADER_BUILD_TESTS=OFF \
  -DPOFREADER_BUILD_BENCH=ON >/dev/null
cmake --build build-bench --target pofhost pofgen -j2 >/dev/null
dir=$(mktemp -d /tmp/pofhost-page.XXXXXX)
trap 'rm -rf "$dir"' EXIT
cp examples/pofreader.def "$dir"/
build-bench/bench/pofgen --moves "$moves" --dir "$dir" --name job
now() { date +%s.%N; }
start=$(now)
(cd "$dir" && "$OLDPWD/build-bench/pofhost" --summary --html page.html -- -Sjob >summary.txt)
end=$(now)
echo "pofhost --html: $(awk "BEGIN { print $end - $start }") s, page $(stat -c %s "$dir/page.html") bytes"
grep '^moves' "$dir/summary.txt"
sandbox=""
[ "$(id -u)" = 0 ] && sandbox="--no-sandbox"
start=$(now)
chromium --headless $sandbox --disable-gpu --use-angle=swiftshader --enable-unsafe-swiftshader \
  --user-data-dir="$dir/profile" --window-size=1200,800 --dump-dom "file://$dir/page.html" \
  2>/dev/null | grep -o '<div id="pof-ready"[^>]*>' >"$dir/ready.txt"
end=$(now)
echo "chromium run (start, open, draw, quit): $(awk "BEGIN { print $end - $start }") s"
echo "page ready marker: $(cat "$dir/ready.txt")"
