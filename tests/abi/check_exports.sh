#!/bin/sh
# The shared library exports exactly the four entry points, links only
# against the language runtime and the system's base libraries, and holds
# none of the functions named after the mode: code only tests call.
# usage: check_exports.sh LIBRARY normal|sanitized [ABSENT-FUNCTION]...
set -eu
lib=$1
mode=$2
shift 2
expected="qvCSexecCycle qvCSgetCycle qvCSgetSignal qvCSsetSignal"
actual=$(nm -D --defined-only "$lib" | awk '$2 ~ /^[TDBRVWiu]$/ {print $3}' | sed 's/@.*//' | sort | tr '\n' ' ' | sed 's/ $//')
if [ "$actual" != "$expected" ]; then
  echo "exports of $lib: '$actual', expected '$expected'"
  exit 1
fi
for name in "$@"; do
  if nm -C "$lib" | grep -q "[^A-Za-z_]$name("; then
    echo "$lib holds $name, which only tests call"
    exit 1
  fi
done
if [ "$mode" != "sanitized" ]; then
  needed=$(readelf -d "$lib" | sed -n 's/.*Shared library: \[\(.*\)\]/\1/p')
  for so in $needed; do
    case "$so" in
      libstdc++.so.*|libm.so.*|libgcc_s.so.*|libc.so.*|ld-linux*) ;;
      *) echo "$lib needs $so"; exit 1 ;;
    esac
  done
fi
echo "$lib exports exactly the four entry points"
