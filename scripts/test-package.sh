#!/usr/bin/env bash
# Makes the Debian package from a Linux build folder (cpack -G DEB), checks
# what it holds, unpacks it into a temporary root (dpkg-deb -x: a real
# dpkg -i would change the machine that runs the tests), runs the unpacked
# program through PATH from another folder, and fails on any finding of
# lintian -EvI --pedantic but the one the package overrides.
# The package names a maintainer with a well-formed address, given to cpack
# here (XLATE_TEST_MAINTAINER), as a publisher names theirs.
# Usage: scripts/test-package.sh [BUILD_FOLDER]   (default: build-test)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-${XLATE_TEST_BUILD:-$here/build-test}}" && pwd)"
start=$(date +%s)

out="$build/package"
rm -rf "$out"
maintainer="${XLATE_TEST_MAINTAINER:-xlate developers <xlate-developers@example.org>}"
(cd "$build" && cpack -G DEB -B "$out" -D "CPACK_PACKAGE_CONTACT=$maintainer" >/dev/null)
deb=$(ls "$out"/xlate_*_amd64.deb)
echo "Package: $deb" >&2

fail() {
  echo "test-package: $*" >&2
  exit 1
}
contents=$(dpkg-deb -c "$deb")
for file in ./usr/bin/xlate ./usr/lib/xlate/libjxZTAccess.so ./usr/share/man/man1/xlate.1.gz \
  ./usr/share/doc/xlate/changelog.gz ./usr/share/doc/xlate/copyright \
  ./usr/share/lintian/overrides/xlate ./usr/share/bash-completion/completions/xlate \
  ./usr/bin/xlate-memory ./usr/share/man/man1/xlate-memory.1.gz; do
  grep -q " $file\$" <<<"$contents" || fail "$file is not in the package"
done
# Depends names the libraries the programs and the library link.
depends=$(dpkg-deb -f "$deb" Depends)
for library in libc6 libstdc++6 libcurl libsqlite3 libxml2; do
  grep -q "$library" <<<"$depends" || fail "Depends does not name $library: $depends"
done
dpkg-deb -f "$deb" Recommends | grep -q 'apertium-eng-spa' || fail "apertium-eng-spa not recommended"
[ "$(dpkg-deb -f "$deb" Maintainer)" = "$maintainer" ] || fail "the maintainer is not $maintainer"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
# The manual page renders without warnings.
warnings=$(zcat "$root/usr/share/man/man1/xlate.1.gz" | groff -man -ww -z 2>&1)
[ -z "$warnings" ] || fail "the manual page has warnings: $warnings"

# From another folder, through PATH, with the library in ../lib/xlate.
cd "$(mktemp -d -p "$root")"
said=$(PATH="$root/usr/bin:$PATH" LC_ALL=C.UTF-8 xlate TEXT="The house is big." LANGFROM=en LANGTO=es \
  OCODING=UTF8)
[ "$said" = "La casa es grande."$'\r' ] || fail "the unpacked xlate said: $said"
echo "The unpacked package translates: $said" >&2

# lintian: nothing but the manual page's quote of the program's message
# "languges", which the package overrides (and lintian then shows as O:).
command -v lintian >/dev/null || fail "lintian is not installed (scripts/install-deps.sh test)"
findings=$(lintian -EvI --pedantic --show-overrides "$deb" 2>&1 |
  grep -v -e 'running with root privileges' -e '^N: ' || true)
echo "lintian -EvI --pedantic --show-overrides:" >&2
echo "$findings" >&2
unexpected=$(grep -v '^O: xlate: typo-in-manual-page languges ' <<<"$findings" || true)
[ -z "$unexpected" ] || fail "lintian reports more than the overridden text"
grep -q '^O: xlate: typo-in-manual-page languges ' <<<"$findings" ||
  fail "lintian did not use the package's override"
echo "Debian package checked: $(($(date +%s) - start)) s" >&2
