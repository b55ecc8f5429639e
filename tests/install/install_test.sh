#!/usr/bin/env bash
# Installs the build tree into a scratch prefix, moves the prefix elsewhere
# (so nothing can lean on build-tree paths), then packs a small tree with the
# installed molt-pack and unpacks it with the installed molt.
#
#   install_test.sh CMAKE BUILD-DIR
set -euo pipefail

cmake=$1
build=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

"$cmake" --install "$build" --prefix "$scratch/first" >/dev/null
mv "$scratch/first" "$scratch/moved"
prefix=$scratch/moved

for item in bin/molt bin/molt-pack include/molt.h; do
  [[ -e "$prefix/$item" ]] || { echo "FAIL: $item is not installed"; exit 1; }
done
ls "$prefix"/lib*/libmolt.so >/dev/null || { echo "FAIL: libmolt.so is not installed"; exit 1; }

mkdir -p "$scratch/tree/docs" "$scratch/out"
printf 'hello\n' >"$scratch/tree/readme.txt"
printf 'notes\n' >"$scratch/tree/docs/notes.txt"
"$prefix/bin/molt-pack" "$scratch/pack.dat" "$scratch/tree"
"$prefix/bin/molt" "$scratch/pack.dat" "$scratch/out"
diff -r "$scratch/tree" "$scratch/out"
echo "installed tools ran from $prefix"
