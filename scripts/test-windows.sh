#!/usr/bin/env bash
# Builds the Windows program with warnings as errors and runs its tests
# under Wine, headless, each build in a Wine prefix of its own. It first
# finds out what this machine can run:
# - 32-bit x86 programs run: the 32-bit program (PE32), the one that ships,
#   is built with its tests, and they run under 32-bit Wine.
# - They do not (a kernel built without 32-bit support), or 32-bit Wine
#   cannot be installed or started: the PE32 product is still built and
#   checked, and the same sources are built for 64-bit Windows, whose every
#   test runs under 64-bit Wine. Tests whose subject exists only in 32-bit
#   code skip themselves there, each with its reason.
# XLATE_WINDOWS_SUITE=32 or 64 takes that suite instead of the probe's
# choice. When the machine can run neither, this fails and says so.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build32="${XLATE_WIN_BUILD:-$here/build-win}"
build64="${XLATE_WIN64_BUILD:-$here/build-win64}"
start=$(date +%s)
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
"$here/scripts/install-deps.sh" windows-checks

# A static i386 program of three instructions that exits with 0: it runs
# exactly when the kernel runs 32-bit x86 code. Sets probe_says.
runs_32bit_code() {
  # The assembler's $1 and $0x80, not the shell's.
  # shellcheck disable=SC2016
  printf '.globl _start\n_start:\n movl $1, %%eax\n xorl %%ebx, %%ebx\n int $0x80\n' >"$tmp/probe.s"
  if ! as --32 -o "$tmp/probe.o" "$tmp/probe.s" || ! ld -m elf_i386 -o "$tmp/probe" "$tmp/probe.o"; then
    probe_says="the 32-bit probe could not be assembled"
    return 1
  fi
  if "$tmp/probe" 2>"$tmp/probe.err"; then
    probe_says="a 32-bit x86 probe ran"
    return 0
  fi
  probe_says="a 32-bit x86 probe did not run: $(sed -n 's/.*: //p' "$tmp/probe.err" | head -n 1)"
  probe_says="${probe_says%: }"
  return 1
}

# 32-bit Wine comes from the i386 architecture, which is added for it and
# taken away again when the install fails.
install_wine32() {
  local added=0
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
    added=1
  fi
  if "$here/scripts/install-deps.sh" windows-i686 wine32; then
    return 0
  fi
  if [ "$added" = 1 ]; then
    $sudo dpkg --remove-architecture i386 2>/dev/null || true
  fi
  return 1
}

# The shipped program: a 32-bit console program that needs nothing beside
# it but system DLLs, and libraries that export the contract's functions by
# their plain names.
check_pe32_product() {
  local build="$1" kind dll names bad=0
  kind="$(file -b "$build/xlate.exe")"
  case "$kind" in
    "PE32 executable (console) Intel 80386"*) ;;
    *) echo "xlate.exe is not a 32-bit console program: $kind" >&2; return 1 ;;
  esac
  for dll in $(i686-w64-mingw32-objdump -p "$build/xlate.exe" "$build"/*.dll "$build"/testdouble/*.dll |
    sed -n 's/^[[:space:]]*DLL Name: //p' | tr '[:upper:]' '[:lower:]' | sort -u); do
    case "$dll" in
      kernel32.dll | user32.dll | advapi32.dll | msvcrt.dll | ws2_32.dll | winhttp.dll | \
        shell32.dll | ntdll.dll | ucrtbase.dll | api-ms-win-*.dll) ;;
      *) echo "The Windows program needs $dll, which is not a system DLL" >&2; bad=1 ;;
    esac
  done
  # The shipped library: the six and the optional ztaTranslateBatch and
  # ztaPairList; the double: the six and ztaTranslateBatch; the double built
  # without the batch entry point: the six.
  local folder expected
  for folder in .:8 testdouble:7 testdouble-without-batch:6; do
    expected=${folder#*:}
    folder=${folder%:*}
    names="$(i686-w64-mingw32-objdump -p "$build/$folder/jxZTAccess.dll" |
      sed -n 's/^[[:space:]]*\[ *[0-9]*\] \([^ ]*\).*/\1/p')"
    if [ "$(echo "$names" | grep -c '^zta[A-Za-z]*$')" != "$expected" ]; then
      echo "$folder/jxZTAccess.dll does not export its $expected functions by their plain names:" \
        "${names//$'\n'/ }" >&2
      bad=1
    fi
  done
  [ "$bad" = 0 ] && echo "PE32 product checked: $kind; system DLLs only; plain export names" >&2
  return "$bad"
}

# Runs one build's tests with its Wine loader. Sets summary.
run_suite() {
  local build="$1" wine="$2" log="$tmp/ctest.log" status=0
  export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
  [ "$wine" = wine ] || export WINELOADER="$wine"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Making the Wine prefix $WINEPREFIX" >&2
    if ! "$wine" wineboot -i >"$tmp/wineboot.log" 2>&1; then
      echo "Wine could not make its prefix with $wine:" >&2
      tail -n 5 "$tmp/wineboot.log" >&2
      return 1
    fi
  fi
  # One Wine server for the whole run, so that no test pays for starting
  # one; it is stopped again at the end.
  wineserver -p || true
  # Wine's own background processes start with the session's first program
  # and inherit its output: started by a test, they would hold that test's
  # pipe to ctest open until the end (when the test listings are cached and
  # no listing starts them first). So one program starts them here.
  "$wine" cmd /c exit >/dev/null 2>&1 </dev/null || true
  # A test that fails is run once more: Wine now and then fails to start a
  # program while others start beside it (the test fails at once, with no
  # output, and passes alone). A test that fails twice fails the suite.
  ctest --test-dir "$build" --output-on-failure -j"$(nproc)" --repeat until-pass:2 2>&1 |
    tee "$log" || status=$?
  wineserver -k 2>/dev/null || true
  summary="$(grep -E 'tests passed, [0-9]+ tests failed out of' "$log" | tail -n 1)"
  summary="$summary; $(grep -c '(Skipped)' "$log" || true) skipped"
  return "$status"
}

suite="${XLATE_WINDOWS_SUITE:-}"
if [ -n "$suite" ]; then
  why="chosen by XLATE_WINDOWS_SUITE"
elif runs_32bit_code; then
  suite=32 why="$probe_says"
else
  suite=64 why="$probe_says"
fi
if [ "$suite" = 32 ]; then
  if ! install_wine32; then
    suite=64 why="$why, but 32-bit Wine could not be installed"
  elif ! /usr/lib/wine/wine --version >/dev/null 2>"$tmp/wine32.err"; then
    suite=64 why="$why, but 32-bit Wine does not start ($(head -n 1 "$tmp/wine32.err"))"
  fi
fi

if [ "$suite" = 32 ]; then
  echo "Windows suite: 32-bit (PE32 under 32-bit Wine), because $why" >&2
  XLATE_WIN_BUILD="$build32" "$here/scripts/build-windows.sh" -DXLATE_WERROR=ON -DXLATE_TESTS=ON
  check_pe32_product "$build32"
  "$here/scripts/check-naming.sh" "$build32"
  run_suite "$build32" wine || {
    echo "Windows suite (32-bit) failed: $summary" >&2
    exit 1
  }
else
  echo "Windows suite: 64-bit (PE32+ under wine64), because $why" >&2
  "$here/scripts/install-deps.sh" windows-i686 windows-x86_64 wine64
  if ! /usr/lib/wine/wine64 --version >/dev/null 2>"$tmp/wine64.err"; then
    echo "This machine can run neither Windows suite: $why, and 64-bit Wine does not start" \
      "($(head -n 1 "$tmp/wine64.err")). XLATE_WINDOWS=0 leaves the Windows part out." >&2
    exit 1
  fi
  XLATE_WIN_BUILD="$build32" "$here/scripts/build-windows.sh" -DXLATE_WERROR=ON -DXLATE_TESTS=OFF
  check_pe32_product "$build32"
  "$here/scripts/check-naming.sh" "$build32"
  XLATE_WIN_ARCH=x86_64 XLATE_WIN_BUILD="$build64" "$here/scripts/build-windows.sh" \
    -DXLATE_WERROR=ON -DXLATE_TESTS=ON
  run_suite "$build64" /usr/lib/wine/wine64 || {
    echo "Windows suite (64-bit) failed: $summary" >&2
    exit 1
  }
fi
echo "Windows suite ($suite-bit, $why): $summary; $(($(date +%s) - start)) s" >&2
