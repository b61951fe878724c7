#!/usr/bin/env bash
# Installs the Debian packages of the groups named in scripts/packages.txt,
# when any is missing; with no argument, every group the Linux build and
# its tests need (build run test pairs robustness). Uses sudo when not root.
# Usage: scripts/install-deps.sh [GROUP...]
#
# A mirror can offer newer amd64 than i386 versions of a library (a security
# update that has reached one architecture's index first); a multi-arch
# install then cannot resolve. When the plain install fails, it is tried once
# more with the release's own suite (-t CODENAME), which takes the versions
# the release shipped for every architecture.
set -euo pipefail
list="$(cd "$(dirname "$0")" && pwd)/packages.txt"

groups=(build run test pairs robustness)
[ "$#" -gt 0 ] && groups=("$@")
packages=()
for group in "${groups[@]}"; do
  line="$(grep -E "^$group:" "$list" || true)"
  if [ -z "$line" ]; then
    echo "install-deps: no group \"$group\" in $list" >&2
    exit 2
  fi
  read -r -a words <<<"${line#*:}"
  packages+=("${words[@]}")
done

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
# The machine's own release file, not one of the project.
# shellcheck source=/dev/null
codename="$(. /etc/os-release && echo "${VERSION_CODENAME:-}")"
if [ -z "$codename" ]; then
  echo "Installing ${missing[*]} failed, and /etc/os-release names no release to fall back on" >&2
  exit 1
fi
echo "The plain install failed; trying again with the release's own versions (-t $codename)" >&2
apt_get install -y -qq --no-install-recommends -t "$codename" "${missing[@]}" >&2
