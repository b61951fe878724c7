#!/usr/bin/env bash
# The README's two commands as a new user meets them: on a freshly
# bootstrapped, minimal Debian root of this machine's release (mmdebstrap
# --variant=apt with git and ca-certificates, this machine's apt sources and
# fetch settings), holding a clean clone of the commit under test, it runs
#   1. ./xlate.sh TEXT="The house is big and my friend reads a book." ...,
#      which must print the Spanish sentence;
#      then the README's packaging command (the block after its
#      "packaging" mark), whose package must name libc6, libstdc++6 and
#      libcurl in Depends;
#   2. XLATE_QUICK=1 XLATE_FRESH=0 XLATE_WINDOWS=0 XLATE_CHECKS=0 ./test.sh:
#      the main suite and the Debian package (the Windows and robustness
#      suites and the checks of the sources run on the machine itself);
#   3. apt-get install of the package that made, then xlate through PATH
#      from another folder, and man -w xlate.
# XLATE_FRESH_SUITE=full runs the whole of XLATE_FRESH=0 ./test.sh in step 2
# instead, the Windows and robustness suites included (half an hour or more).
# The root lives for this run only and is removed at the end, after a
# failure too; its mounts live in a mount namespace of their own, so none
# outlives it. Needs root, or sudo without a password.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
start=$(date +%s)

say() { echo "fresh machine: $*" >&2; }
fail() {
  say "$*"
  exit 1
}

if [ "$(id -u)" -ne 0 ]; then
  if ! { command -v sudo >/dev/null && sudo -n true 2>/dev/null; }; then
    fail "cannot run: it needs root, or sudo without a password, to bootstrap a root" \
      "(XLATE_FRESH=0 leaves this stage out)"
  fi
  exec sudo -n --preserve-env=PATH "$0" "$@"
fi
if ! command -v mmdebstrap >/dev/null; then
  "$here/scripts/install-deps.sh" fresh ||
    fail "cannot run: mmdebstrap is missing and could not be installed (XLATE_FRESH=0 leaves this stage out)"
fi
# The machine's own release file, not one of the project.
# shellcheck source=/dev/null
codename="$(. /etc/os-release && echo "${VERSION_CODENAME:-}")"
[ -n "$codename" ] || fail "cannot run: /etc/os-release names no release"

commit="$(git -C "$here" rev-parse HEAD)"
[ -z "$(git -C "$here" status --porcelain --untracked-files=no)" ] ||
  say "testing commit ${commit:0:12}; the uncommitted changes of $here are not in it"

root="$(mktemp -d "${XLATE_FRESH_TMP:-/var/tmp}/xlate-fresh.XXXXXX")"
# Ends what still runs inside the root (a server a test left behind), then
# removes it without crossing into another file system.
remove_root() {
  local proc
  for proc in /proc/[0-9]*; do
    [ "$(readlink "$proc/root" 2>/dev/null)" = "$root" ] && kill -9 "${proc#/proc/}" 2>/dev/null
  done
  sleep 0.2
  if findmnt -rn -o TARGET | grep -q "^$root/"; then
    findmnt -rn -o TARGET | grep "^$root/" | sort -r | xargs -r -n 1 umount -l || true
  fi
  rm -rf --one-file-system "$root"
}
trap remove_root EXIT

# This machine's sources, and the settings of its apt.conf.d that govern
# fetching (a proxy, an index's validity), so the root reaches what this
# machine reaches.
mirrors=()
for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
  [ -f "$file" ] && grep -qE '^[[:space:]]*[^#[:space:]]' "$file" && mirrors+=("$file")
done
aptopts=()
for file in /etc/apt/apt.conf /etc/apt/apt.conf.d/*; do
  [ -f "$file" ] && grep -q 'Acquire' "$file" && aptopts+=("--aptopt=$file")
done

step_start=$(date +%s)
step() {
  local now
  now=$(date +%s)
  say "$1 ($((now - step_start)) s)"
  step_start=$now
}

say "bootstrapping a minimal Debian $codename root in $root"
mmdebstrap --quiet --variant=apt --include=git,ca-certificates "${aptopts[@]}" \
  "$codename" "$root" "${mirrors[@]}" || fail "mmdebstrap could not bootstrap the root"
cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
[ -f "$root/etc/hosts" ] || printf '127.0.0.1\tlocalhost\n::1\tlocalhost ip6-localhost ip6-loopback\n' \
  >"$root/etc/hosts"
git clone -q --no-hardlinks "$here" "$root/root/xlate"
git -C "$root/root/xlate" checkout -q "$commit"
step "bootstrapped, clone of ${commit:0:12} in /root/xlate"

# Runs a command in the root as a new login shell of root would, with no
# variable of this machine's environment. /proc, /sys and /dev are mounted
# in a mount namespace that ends with the command.
in_root() {
  # The inner bash expands the script's variables itself.
  # shellcheck disable=SC2016
  unshare --mount --fork --propagation private -- bash -c '
    set -e
    r="$1"
    shift
    mount -t proc proc "$r/proc"
    mount -t sysfs sysfs "$r/sys"
    mount --rbind /dev "$r/dev"
    exec chroot "$r" /usr/bin/env -i HOME=/root TERM=dumb \
      PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin bash -c "$1"' \
    in_root "$root" "$1"
}

# 1. The README's first command.
said="$(in_root 'cd /root/xlate && ./xlate.sh TEXT="The house is big and my friend reads a book." LANGFROM=en LANGTO=es OCODING=UTF8')" ||
  fail "the README's first command failed"
said="${said%$'\r'}"
[ "$said" = "La casa es grande y mi amigo lee un libro." ] ||
  fail "the README's first command printed \"$said\""
step "the README's first command printed: $said"

# 1b. The README's packaging command, right after the first command, as a
# user copies it: the block after the README's "packaging" mark. The
# package it makes must depend on the libraries its programs link.
packaging="$(awk '/^<!-- packaging:/ { mark = 1; next }
  mark && /^```/ { if (inside) exit; inside = 1; next }
  inside { print }' "$root/root/xlate/README.md")"
[ -n "$packaging" ] || fail "the README has no packaging command"
in_root "set -e; cd /root/xlate; $packaging" >&2 || fail "the README's packaging command failed"
depends="$(in_root 'dpkg-deb -f /root/xlate/build/xlate_*.deb Depends')" ||
  fail "the README's packaging command made no package"
for library in libc6 libstdc++6 libcurl; do
  grep -q "$library" <<<"$depends" || fail "the package's Depends does not name $library: $depends"
done
step "the README's packaging command made and installed a package; Depends: $depends"

# 2. The README's second command, its main suite and package stage.
suite="XLATE_QUICK=1 XLATE_FRESH=0 XLATE_WINDOWS=0 XLATE_CHECKS=0 ./test.sh"
[ "${XLATE_FRESH_SUITE:-quick}" = full ] && suite="XLATE_FRESH=0 ./test.sh"
in_root "cd /root/xlate && $suite" || fail "the README's second command failed ($suite)"
step "the README's second command passed ($suite)"

# 3. The package, installed as a user installs it, pulling its dependencies.
# A minimal root has no man, so man-db comes first.
in_root 'export DEBIAN_FRONTEND=noninteractive
  apt-get install -y -qq man-db >/dev/null
  apt-get install -y -qq /root/xlate/build-test/package/xlate_*.deb >/dev/null' ||
  fail "the Debian package did not install"
said="$(in_root 'cd /tmp && xlate TEXT="The house is big." LANGFROM=en LANGTO=es')" ||
  fail "the installed xlate failed"
said="${said%$'\r'}"
[ "$said" = "La casa es grande." ] || fail "the installed xlate printed \"$said\""
page="$(in_root 'man -w xlate')" || fail "man -w xlate found no manual page"
step "the installed package translates through PATH: $said; man -w xlate: $page"
say "passed in $(($(date +%s) - start)) s"
