#!/bin/sh
# Compiles the public header in a 32-bit build, as C and as C++, for both
# revisions: its pins then prove the 4-byte-pointer layout byte for byte.
# usage: check_layout_32.sh C_COMPILER CXX_COMPILER INCLUDE_DIR
set -eu
cc=$1 cxx=$2 inc=$3
src=$(dirname "$0")/layout_check.c
for rev in "" "-DPOFREADER_REVISION_700"; do
  "$cc" -m32 -std=c99 -Wall -Wextra -Wpedantic -Werror $rev -I"$inc" -fsyntax-only "$src"
  "$cc" -m32 -std=c11 -Wall -Wextra -Wpedantic -Werror $rev -I"$inc" -fsyntax-only "$src"
  "$cxx" -m32 -std=c++17 -Wall -Wextra -Wpedantic -Werror $rev -I"$inc" -fsyntax-only -x c++ "$src"
done
echo "32-bit layout holds for both revisions"
