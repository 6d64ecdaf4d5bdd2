#!/bin/sh
# Measures pofhost's 3D page on a generated job (the realistic mix of
# 1,000,000 moves unless told otherwise): pofhost's time and peak memory
# writing it, the page's size, and in headless Chromium the page's own ready
# figure (from the start of loading to the first frame on screen) and the JS
# heap it uses then (precise memory figures; typed arrays handed to WebGL
# count only while the script holds them). With --screenshot the drawn page
# is also saved as a PNG. Builds into build-bench.
#   bench/html-page.sh [--mix realistic|standard|multiaxis] [--screenshot FILE] [MOVES]
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
mix=realistic
shot=""
while [ $# -gt 0 ]; do
  case $1 in
    --mix) mix=$2; shift 2 ;;
    --screenshot) shot=$2; shift 2 ;;
    *) break ;;
  esac
done
moves=${1:-1000000}
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DPOFREADER_BUILD_TESTS=OFF \
  -DPOFREADER_BUILD_BENCH=ON >/dev/null
cmake --build build-bench --target pofhost pofgen -j2 >/dev/null
dir=$(mktemp -d /tmp/pofhost-page.XXXXXX)
trap 'rm -rf "$dir"' EXIT
cp examples/pofreader.def "$dir"/
build-bench/bench/pofgen --mix "$mix" --moves "$moves" --dir "$dir" --name job
(cd "$dir" && /usr/bin/time -f '%e %M' -o time.txt "$root/build-bench/pofhost" --summary \
  --html page.html -- -Sjob >summary.txt)
read -r seconds kib <"$dir/time.txt"
echo "pofhost --html: $seconds s, peak resident $((kib / 1024)) MiB; page $(stat -c %s "$dir/page.html") bytes"
grep -E '^moves|^path length' "$dir/summary.txt"

# The heap is read once the page has marked its first frame shown.
sed 's|</body>|<script>(function poll() { const r = document.getElementById("pof-ready"); if (!r.dataset.state) { setTimeout(poll, 50); return; } r.dataset.heapUsed = performance.memory.usedJSHeapSize; r.dataset.heapTotal = performance.memory.totalJSHeapSize; })();</script></body>|' \
  "$dir/page.html" >"$dir/measured.html"
sandbox=""
[ "$(id -u)" = 0 ] && sandbox="--no-sandbox"
browse() {  # $1: what Chromium does with the page, $2: the page
  chromium --headless $sandbox --disable-gpu --use-angle=swiftshader --enable-unsafe-swiftshader \
    --enable-precise-memory-info --hide-scrollbars --user-data-dir="$dir/profile" \
    --window-size=1200,800 --virtual-time-budget=60000 "$1" "file://$2" 2>/dev/null
}
start=$(date +%s.%N)
browse --dump-dom "$dir/measured.html" | grep -o '<div id="pof-ready"[^>]*>' >"$dir/ready.txt" || true
end=$(date +%s.%N)
echo "chromium run (start, open, draw, quit): $(awk "BEGIN { print $end - $start }") s"
marker=$(cat "$dir/ready.txt")
field() { echo "$marker" | sed -n "s/.* data-$1=\"\([^\"]*\)\".*/\1/p"; }
echo "page state $(field state), first frame shown $(field ms) ms after loading began"
echo "JS heap then: used $(($(field heap-used) / 1048576)) MiB of $(($(field heap-total) / 1048576)) MiB"
[ -z "$(field error)" ] || echo "page error: $(field error)"
if [ -n "$shot" ]; then
  case $shot in /*) ;; *) shot="$root/$shot" ;; esac
  browse --screenshot="$shot" "$dir/page.html" >/dev/null
  echo "screenshot: $shot"
fi
