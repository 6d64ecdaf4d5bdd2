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
(cd "$work/job" && "$prefix/bin/pofcheck" -Sjob) >"$work/check.out" ||
  fail "the installed pofcheck found warnings in the example job"
# Revision 7.00 cuts the example's nested "cycle(Edge fillet (front))", and says so.
status=0
(cd "$work/job" && "$prefix/bin/pofcheck-7.00" --quiet -Sjob) >"$work/check700.out" || status=$?
[ "$status" = 1 ] && [ "$(grep -c 'warning: value cut at its first' "$work/check700.out")" = 1 ] &&
  [ "$(wc -l <"$work/check700.out")" = 1 ] || fail "the installed pofcheck-7.00 did not warn of the cut value alone"

# find_package(pofreader CONFIG): a host that dlopens, and one that links the
# earlier revision directly.
cmake -S "$here/consumer" -B "$work/consumer-cmake" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null ||
  fail "find_package(pofreader) did not configure"
cmake --build "$work/consumer-cmake" >/dev/null || fail "the find_package consumer did not build"
job "$work/job" "$prefix"
(cd "$work/job" && "$work/consumer-cmake/consumer" "$prefix/lib/libpofreader.so" -Sjob) >"$work/cmake.out" ||
  fail "the find_package consumer's run failed"
diff -u "$work/expected" "$work/cmake.out" || fail "the find_package consumer saw other deliveries than pofhost"
[ "$("$work/consumer-cmake/linked")" = "7.00" ] || fail "pofreader::pofreader700 did not give the earlier revision"

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
for option in $("$moved/bin/pofhost" --help | grep -o -- '--[a-z][a-z]*' | sort -u); do
  grep -qF -- "$(echo "$option" | sed 's/-/\\-/g')" "$moved/share/man/man1/pofhost.1" ||
    fail "the man page lacks $option"
done
echo "installed tree, both consumers, moved tree and missing library as expected"
