#!/bin/sh
# The install tree as a host integrator uses it: `cmake --install` into a
# temporary prefix, two hosts built against that tree only (one through
# find_package, one through pkg-config) running the example job with the
# installed cycle, the same tree moved elsewhere, and pofhost with no library.
# usage: check_install.sh BUILD_DIR SOURCE_DIR
set -eu
build=$1 source=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# A fresh copy of the installed example job in $1.
job() { rm -rf "$1"; cp -r "$2/share/doc/pofreader/examples" "$1"; }
# The deliveries and the result of pofhost's output, in the consumer's words.
deliveries() { awk '/^fn[ABC] / { print $1, $2, $3 } /^result / { print }' "$1"; }

prefix=$work/usr
cmake --install "$build" --prefix "$prefix" >/dev/null

build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt" | tr 'A-Z' 'a-z')
sed "s/BUILDTYPE/$build_type/" "$here/installed-files.txt" >"$work/expected-files"
(cd "$prefix" && find . -type f | sed 's|^\./||' | LC_ALL=C sort) >"$work/files"
diff -u "$work/expected-files" "$work/files" || fail "the installed files differ from the list"

job "$work/job" "$prefix"
(cd "$work/job" && "$prefix/bin/pofhost" -Sjob) >"$work/pofhost.out" || fail "installed pofhost failed"
deliveries "$work/pofhost.out" >"$work/expected"
[ "$(wc -l <"$work/expected")" -gt 20 ] || fail "pofhost delivered too little"
tail -n 1 "$work/expected" | grep -qx "result 1" || fail "pofhost's run did not succeed"
(cd "$work/job" && "$prefix/bin/pofcheck" -Sjob && "$prefix/bin/pofcheck-7.00" -Sjob) >"$work/check.out" ||
  fail "the installed pofcheck found warnings in the example job"

# find_package(pofreader CONFIG): a host that dlopens, and one that links the
# earlier revision directly.
cmake -S "$here/consumer" -B "$work/consumer-cmake" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null ||
  fail "find_package(pofreader) did not configure"
cmake --build "$work/consumer-cmake" >/dev/null || fail "the find_package consumer did not build"
job "$work/job" "$prefix"
(cd "$work/job" && "$work/consumer-cmake/consumer" "$prefix/lib/libpofreader.so" -Sjob) >"$work/cmake.out" ||
  fail "the find_package consumer's run failed"
diff -u "$work/expected" "$work/cmake.out" || fail "the find_package consumer saw other deliveries than pofhost"
[ "$("$work/consumer-cmake/linked")" = "7.00 matches" ] || fail "pofreader::pofreader700 did not give the earlier revision"

# How a host asks for a revision, and the mixes that must stop: each row is a
# case of revisions/CMakeLists.txt, the step that must fail (none, configure or
# build) and what the built host prints.
while read -r case fails output; do
  dir=$work/revisions-$case
  if ! cmake -S "$here/revisions" -B "$dir" -DPOFREADER_CASE="$case" -DCMAKE_PREFIX_PATH="$prefix" \
      >"$dir.log" 2>&1; then
    [ "$fails" = configure ] || fail "$case did not configure: $(cat "$dir.log")"
    continue
  fi
  [ "$fails" != configure ] || fail "$case configured"
  if ! cmake --build "$dir" >"$dir.build.log" 2>&1; then
    [ "$fails" = build ] || fail "$case did not build: $(cat "$dir.build.log")"
    grep -q "built for both revisions" "$dir.build.log" || fail "$case failed otherwise: $(cat "$dir.build.log")"
    continue
  fi
  [ "$fails" != build ] || fail "$case built"
  [ "$("$dir/linked")" = "$output" ] || fail "$case printed $("$dir/linked"), not $output"
done <<EOF
earlier-by-version none 7.00 matches
earlier-by-component none 7.00 matches
current-by-major none 9.50 matches
version-not-shipped configure -
component-not-shipped configure -
both-revisions build -
earlier-layout-current-library build -
EOF
grep -qx -- "-- pofreader_VERSION=7.00" "$work/revisions-earlier-by-version.log" ||
  fail "find_package(pofreader 7.00) does not report version 7.00"

# pkg-config --cflags --libs pofreader.
export PKG_CONFIG_PATH="$prefix/lib/pkgconfig"
[ "$(pkg-config --modversion pofreader)" = "9.50" ] || fail "pkg-config reports another version"
libdir=$(pkg-config --variable=libdir pofreader)
# shellcheck disable=SC2046
cc -o "$work/consumer-pc" "$here/consumer/consumer.c" $(pkg-config --cflags --libs pofreader) \
  -Wl,-rpath,"$libdir" || fail "the pkg-config consumer did not build"
job "$work/job" "$prefix"
(cd "$work/job" && "$work/consumer-pc" "$libdir/libpofreader.so" -Sjob) >"$work/pc.out" ||
  fail "the pkg-config consumer's run failed"
diff -u "$work/expected" "$work/pc.out" || fail "the pkg-config consumer saw other deliveries than pofhost"

# pkg-config for each revision, and both at once, which must not compile.
[ "$(pkg-config --modversion pofreader-7.00)" = "7.00" ] || fail "pkg-config reports another version for 7.00"
for module in pofreader pofreader-7.00; do
  # shellcheck disable=SC2046
  cc -o "$work/linked-$module" "$here/consumer/linked.c" $(pkg-config --cflags --libs "$module") \
    -Wl,-rpath,"$libdir" || fail "linked.c did not build with pkg-config $module"
done
[ "$("$work/linked-pofreader")" = "9.50 matches" ] || fail "pkg-config pofreader did not give 9.50"
[ "$("$work/linked-pofreader-7.00")" = "7.00 matches" ] || fail "pkg-config pofreader-7.00 did not give 7.00"
# shellcheck disable=SC2046
if cc -o "$work/linked-both" "$here/consumer/linked.c" $(pkg-config --cflags --libs pofreader pofreader-7.00) \
   2>"$work/both.err"; then
  fail "a host with both revisions' pkg-config flags compiled"
fi
grep -q "built for both revisions" "$work/both.err" || fail "both revisions: $(cat "$work/both.err")"

# The README's own host, as it stands there: built against the installed
# header, run in the example job with each library, and with none.
awk '/^## Running a job from a host/ { section = 1 } section && /^```c$/ { inside = 1; next }
     inside && /^```$/ { exit } inside { print }' "$source/README.md" >"$work/readme-host.c"
[ -s "$work/readme-host.c" ] || fail "no C example in the README"
cc -std=c11 -Wall -Wextra -Werror -I"$prefix/include" -o "$work/readme-host" "$work/readme-host.c" -ldl ||
  fail "the README's host does not compile cleanly"
job "$work/job" "$prefix"
while read -r library status says; do
  code=0
  (cd "$work/job" && "$work/readme-host" "$library") >"$work/readme.out" 2>"$work/readme.err" || code=$?
  [ "$code" -eq "$status" ] || fail "the README's host with $library exited $code, not $status"
  if [ "$says" = "-" ]; then
    [ ! -s "$work/readme.err" ] || fail "the README's host with $library complained: $(cat "$work/readme.err")"
    grep -q "^text: " "$work/readme.out" || fail "the README's host printed no text record"
    grep -q "^move 31[01][0-9] x=" "$work/readme.out" || fail "the README's host printed no move"
  else
    grep -qF "$says" "$work/readme.err" || fail "the README's host with $library said: $(cat "$work/readme.err")"
  fi
done <<EOF
$prefix/lib/libpofreader.so 0 -
$prefix/lib/libpofreader-7.00.so 2 is not pofreader 9.50
$work/nowhere/libpofreader.so 2 $work/nowhere/libpofreader.so
EOF

# The whole tree moved: pofhost finds the library relative to itself, and the
# CMake package still resolves.
moved=$work/elsewhere/opt
mkdir -p "$work/elsewhere"
mv "$prefix" "$moved"
job "$work/job" "$moved"
(cd "$work/job" && "$moved/bin/pofhost" -Sjob) >"$work/moved.out" || fail "the moved pofhost failed"
cmp -s "$work/pofhost.out" "$work/moved.out" || fail "the moved pofhost's output differs"
"$moved/bin/pofhost" --version | grep -qx "library $moved/lib/libpofreader.so" ||
  fail "pofhost --version does not name the moved library"
cmake -S "$here/consumer" -B "$work/consumer-moved" -DCMAKE_PREFIX_PATH="$moved" >/dev/null ||
  fail "find_package(pofreader) did not configure from the moved tree"
grep -q "^pofreader_DIR:PATH=$moved/" "$work/consumer-moved/CMakeCache.txt" ||
  fail "find_package(pofreader) did not take the moved tree"

# No library anywhere pofhost looks: exit 2, one line naming every place
# (unless this machine has the package installed, where the loader finds it).
mkdir -p "$work/lonely/bin"
cp "$moved/bin/pofhost" "$work/lonely/bin/"
status=0
env -u LD_LIBRARY_PATH "$work/lonely/bin/pofhost" -Sjob >"$work/lonely.out" 2>"$work/lonely.err" || status=$?
if /sbin/ldconfig -p | grep -q 'libpofreader\.so '; then
  echo "libpofreader.so is installed on this machine: pofhost without a library not tried"
else
  [ "$status" -eq 2 ] || fail "pofhost without a library exited $status, not 2"
  [ "$(wc -l <"$work/lonely.err")" -eq 1 ] || fail "pofhost without a library: not one line: $(cat "$work/lonely.err")"
  for place in "$work/lonely/lib/libpofreader.so" "$work/lonely/bin/libpofreader.so" "dynamic loader"; do
    grep -qF "$place" "$work/lonely.err" || fail "pofhost without a library does not name $place"
  done
fi

# The man page describes every option of --help.
zcat "$moved/share/man/man1/pofhost.1.gz" >"$work/pofhost.1"
for option in $("$moved/bin/pofhost" --help | grep -o -- '--[a-z][a-z]*' | sort -u); do
  grep -qF -- "$(echo "$option" | sed 's/-/\\-/g')" "$work/pofhost.1" ||
    fail "the man page lacks $option"
done

# Every manual page is found by its name, the earlier checker's too, and the
# library's page renders without a warning and names every export.
for page in "1 pofhost" "1 pofcheck" "1 pofcheck-7.00" "3 pofreader"; do
  # shellcheck disable=SC2086
  MANPATH="$moved/share/man" man -w $page >/dev/null 2>&1 || fail "man $page finds no page"
done
[ "$(readlink "$moved/share/man/man1/pofcheck-7.00.1.gz")" = pofcheck.1.gz ] ||
  fail "pofcheck-7.00's page is not a link to pofcheck's"
MANWIDTH=80 MANPATH="$moved/share/man" man --warnings 3 pofreader >"$work/man.txt" 2>"$work/man.err" ||
  fail "man 3 pofreader failed"
[ ! -s "$work/man.err" ] || fail "man 3 pofreader warned: $(cat "$work/man.err")"
for name in qvCSgetCycle qvCSexecCycle qvCSsetSignal qvCSgetSignal pofreaderRevisionMatches \
            POFREADER_VERSION_STRING hostFnC xGiven EDK.TXT pofreader.def; do
  grep -q "$name" "$work/man.txt" || fail "man 3 pofreader does not mention $name"
done
echo "installed tree, both consumers, moved tree and missing library as expected"
