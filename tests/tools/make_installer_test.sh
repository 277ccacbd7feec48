#!/usr/bin/env bash
# tools/make-installer: builds the sample product's installer, and refuses broken product folders
# with a clear message and a non-zero exit code.
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
export INSTALLER_BUILD=${INSTALLER_BUILD:?set by ctest}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0 failed=0
check() { # description, then a command that must succeed
  local what=$1; shift
  if "$@"; then passed=$((passed + 1)); else echo "FAILED: $what"; failed=$((failed + 1)); fi
}

# The sample product, as tools/demo stages it.
mkdir "$work/sample"
cp "$root"/examples/sample/* "$work/sample/"
cp "$INSTALLER_BUILD/examples/notes.exe" "$work/sample/"
printf 'BM not really a bitmap' > "$work/sample/setup.bmp"
out=$("$root/tools/make-installer" "$work/sample" "$work/setup.exe" 2>&1); code=$?
check "sample installer builds (exit $code: $out)" test $code = 0
listing=$("$root/tools/catalogue" "$work/setup.exe")
names=$(sed -n 's/^  \([^ (][^ ]*\) .*/\1/p' <<<"$listing" | tr '\n' ' ')
check "entries in name order: $names" test "$names" = "notes.exe notes.ini readme.txt setup.bmp setup.dat setup.lic "
stub=$(sed -n 's/.*stub is the first \([0-9]*\) bytes.*/\1/p' <<<"$listing")
check "the stub is installer.exe" test "$stub" = "$(stat -c %s "$INSTALLER_BUILD/installer.exe")"
check "stub bytes unchanged" cmp -n "$stub" "$work/setup.exe" "$INSTALLER_BUILD/installer.exe"

# Broken folders: each must fail with its own message and leave no output behind.
refuse() { # description, folder, expected message part
  local out code
  out=$("$root/tools/make-installer" "$2" "$work/broken.exe" 2>&1); code=$?
  check "$1: non-zero exit" test $code != 0
  check "$1: says '$3' (got: $out)" grep -q -- "$3" <<<"$out"
  check "$1: no output file" test ! -e "$work/broken.exe"
}
mkdir "$work/lf"; cp -r "$work/sample/." "$work/lf/"; tr -d '\r' < "$work/sample/setup.dat" > "$work/lf/setup.dat"
refuse "LF-only script" "$work/lf" "CR LF"
mkdir "$work/lone-cr"; cp -r "$work/sample/." "$work/lone-cr/"; printf '[Action]\rx\r\n' > "$work/lone-cr/setup.dat"
refuse "lone CR" "$work/lone-cr" "CR LF"
mkdir "$work/missing"; cp -r "$work/sample/." "$work/missing/"; rm "$work/missing/notes.ini"
refuse "missing [CopyFile] entry" "$work/missing" "'notes.ini' has no file"
mkdir "$work/noscript"; cp "$work/sample/notes.exe" "$work/noscript/"
refuse "no setup.dat" "$work/noscript" "no setup.dat"
mkdir "$work/long"; printf '[Action]\r\nx\r\n' > "$work/long/setup.dat"; : > "$work/long/$(printf 'n%.0s' $(seq 250))"
refuse "a name the packer cannot take" "$work/long" "failed"

echo "$passed passed, $failed failed"
[ $failed = 0 ]
