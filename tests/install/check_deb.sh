#!/bin/sh
# The Debian package: a small Release build of the libraries and pofhost in
# PACKAGE_DIR (kept, so a second run only relinks what changed), `cpack -G DEB`,
# and the package's files and fields as dpkg-deb shows them. In CI (root, CI
# set) it is also installed, run and removed.
# usage: check_deb.sh SOURCE_DIR PACKAGE_DIR
set -eu
source=$1 dir=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
fail() { echo "FAIL: $*" >&2; exit 1; }

log=$work/build.log
cmake -S "$source" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DPOFREADER_BUILD_TESTS=OFF \
  -DPOFREADER_BUILD_BENCH=OFF >"$log" 2>&1 || { cat "$log"; fail "the Release tree did not configure"; }
cmake --build "$dir" -j2 >"$log" 2>&1 || { cat "$log"; fail "the Release tree did not build"; }
rm -f "$dir"/*.deb
(cd "$dir" && cpack -G DEB) >"$log" 2>&1 || { cat "$log"; fail "cpack -G DEB failed"; }

arch=$(dpkg --print-architecture)
deb=$dir/pofreader_9.50-1_$arch.deb
[ -f "$deb" ] || fail "no $deb; cpack made: $(ls "$dir"/*.deb 2>/dev/null)"

# The files of the install tree, and pofcheck-7.00's manual page, a link.
{ sed 's/BUILDTYPE/release/; s|^|usr/|' "$here/installed-files.txt"
  echo usr/share/man/man1/pofcheck-7.00.1.gz; } | LC_ALL=C sort >"$work/expected-files"
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./||' | LC_ALL=C sort >"$work/files"
diff -u "$work/expected-files" "$work/files" || fail "the package's files differ from the list"

dpkg-deb -I "$deb" >"$work/info"
field() { sed -n "s/^ $1: //p" "$work/info"; }
[ "$(field Package)" = pofreader ] || fail "Package is $(field Package)"
[ "$(field Version)" = 9.50-1 ] || fail "Version is $(field Version)"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture is $(field Architecture)"
field Maintainer | grep -q '<[^@>]*@[^>]*\.[^>]*>' || fail "Maintainer has no mail address: $(field Maintainer)"
! field Maintainer | grep -qi 'localhost' || fail "Maintainer is on localhost: $(field Maintainer)"
# dpkg-shlibdeps' work: what the libraries and pofhost are linked against.
for needed in "libc6 (>= " "libstdc++6 (>= " "libgcc-s1 (>= "; do
  field Depends | grep -qF "$needed" || fail "Depends lacks $needed: $(field Depends)"
done

# Debian's own check of the package: no error (warnings are listed).
command -v lintian >/dev/null || fail "lintian is missing: apt-get install lintian"
status=0
lintian --tag-display-limit 0 "$deb" >"$work/lintian" 2>&1 || status=$?
grep -v '^running with root privileges' "$work/lintian" || true
[ "$status" -eq 0 ] && ! grep -q '^E: ' "$work/lintian" || fail "lintian reports errors (status $status)"
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/pofreader/copyright | grep -q '^License: Expat$' ||
  fail "the copyright file names no MIT (Expat) licence"
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/pofreader/changelog.Debian.gz | gzip -dc |
  head -n 1 | grep -q '^pofreader (9\.50-1) ' || fail "changelog.Debian.gz does not open with this version"

if [ "${CI:-}" = true ] && [ "$(id -u)" -eq 0 ] &&
   ! dpkg-query -W -f='${Status}' pofreader 2>/dev/null | grep -q installed; then
  trap 'dpkg -P pofreader >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
  dpkg -i "$deb" >/dev/null || fail "dpkg -i failed"
  cp -r /usr/share/doc/pofreader/examples "$work/job"
  (cd "$work/job" && pofhost -Sjob) >"$work/run.out" || fail "the installed package's pofhost failed"
  grep -qx "result 1" "$work/run.out" || fail "the installed package's run did not succeed"
  pofhost --version | grep -qx "library /usr/lib/libpofreader.so" ||
    fail "the installed pofhost did not load /usr/lib/libpofreader.so"
  dpkg -P pofreader >/dev/null || fail "dpkg -P failed"
  echo "installed, ran and removed the package"
else
  rm -rf "$work"
fi
echo "$(basename "$deb"): files and fields as expected"
