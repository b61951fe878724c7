#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, when any is
# missing. Uses sudo when not root. Arguments name other packages to install
# instead of the default list. (libwine brings the Windows code page files
# that a test checks the code-page tables against.)
#
# A mirror can offer newer amd64 than i386 versions of a library (a security
# update that has reached one architecture's index first); a multi-arch
# install then cannot resolve. When the plain install fails, it is tried once
# more with the release's own suite (-t CODENAME), which takes the versions
# the release shipped for every architecture.
set -euo pipefail

packages=(g++ cmake make libgtest-dev clang-format clang-tidy valgrind clang libclang-rt-14-dev apertium apertium-eng-spa
  apertium-apy libcurl4-openssl-dev nlohmann-json3-dev libwine dpkg-dev groff-base)
[ "$#" -gt 0 ] && packages=("$@")

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ "${#missing[@]}" -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
apt_get() { DEBIAN_FRONTEND=noninteractive $sudo apt-get "$@"; }

echo "Installing: ${missing[*]}" >&2
# An index that fails to download (a mirror in the middle of a sync) leaves
# apt with the others; the install below says whether that was enough.
apt_get update -qq >&2 || echo "apt-get update reported errors; going on with the indexes it has" >&2
if apt_get install -y -qq --no-install-recommends "${missing[@]}" >&2; then
  exit 0
fi
codename="$(. /etc/os-release && echo "${VERSION_CODENAME:-}")"
if [ -z "$codename" ]; then
  echo "Installing ${missing[*]} failed, and /etc/os-release names no release to fall back on" >&2
  exit 1
fi
echo "The plain install failed; trying again with the release's own versions (-t $codename)" >&2
apt_get install -y -qq --no-install-recommends -t "$codename" "${missing[@]}" >&2
