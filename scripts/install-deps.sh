#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, when any is
# missing. Uses sudo when not root.
set -euo pipefail

packages=(g++ cmake make libgtest-dev clang-format valgrind clang libclang-rt-14-dev apertium apertium-eng-spa
  apertium-apy libcurl4-openssl-dev nlohmann-json3-dev)
[ "$#" -gt 0 ] && packages=("$@")

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ "${#missing[@]}" -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}" >&2
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
