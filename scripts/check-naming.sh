#!/usr/bin/env bash
# Checks the program's own code (app/, common/, service/, platform/,
# contract/), every library under library/ (found here, not listed: a new
# library is checked as soon as it is built) but its tests, and what the
# tests share (testsupport/) with clang-tidy as .clang-tidy configures it:
# the names (readability-identifier-naming) and the bugprone, static-analyzer
# and performance checks; fails on any finding. A library with a style of
# its own has its own .clang-tidy (library/apertium/), which clang-tidy
# takes for its files. Every source file that the given build folder
# compiles is checked, with the headers it includes from those folders.
#   scripts/check-naming.sh [BUILD_FOLDER]   (default: build-test)
# The build folder needs compile_commands.json, which CMakeLists.txt asks for.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-${XLATE_TEST_BUILD:-$here/build-test}}" && pwd)"
database="$build/compile_commands.json"
if [ ! -f "$database" ]; then
  echo "check-naming: no $database; configure that build folder with CMake first" >&2
  exit 2
fi
tidy="$(command -v clang-tidy || command -v clang-tidy-14 || true)"
if [ -z "$tidy" ]; then
  echo "check-naming: clang-tidy is not installed (scripts/install-deps.sh installs it)" >&2
  exit 2
fi

# The program's own sources that this build compiles (a Linux build compiles
# the posix/ files, a Windows build the windows/ ones).
cd "$here"
files=$(git ls-files 'app/*.cpp' 'common/*.cpp' 'service/*.cpp' 'platform/*.cpp' 'contract/*.cpp' \
  'library/*.cpp' 'testsupport/*.cpp' | grep -vE '^library/[^/]+/tests/' |
  while read -r file; do
    if grep -qF "\"$here/$file\"" "$database"; then echo "$file"; fi
  done)
if [ -z "$files" ]; then
  echo "check-naming: $database compiles none of the program's files" >&2
  exit 2
fi

# A build made with mingw-w64 (the Windows program) is parsed for its target,
# with the cross compiler's C++ and Windows headers and clang's own
# intrinsics.
extra=()
compiler=$(grep -o -m1 '[^" ]*w64-mingw32-g++[^" ]*' "$database" || true)
if [ -n "$compiler" ]; then
  extra+=("--extra-arg=--target=$(basename "$compiler" | sed -E 's/-g\+\+.*//')")
  while read -r folder; do
    extra+=("--extra-arg=-isystem$folder")
  done < <(echo | "$compiler" -xc++ -E -v - 2>&1 |
    sed -n '/#include <...> search starts here/,/End of search list/p' | grep '^ ' |
    sed 's/^ //' | grep -vE 'gcc/[^/]+/[^/]+/include(-fixed)?$' || true)
fi

# Enum constants name their type with a short lower-case prefix (ctUTF8);
# k... is for constants, which clang-tidy's case rules cannot tell apart.
# A library with a .clang-tidy of its own keeps its own rule for them.
own_style=$(git ls-files 'library/*/.clang-tidy' | sed 's|/\.clang-tidy$|/|')
# shellcheck disable=SC2016 # the single quotes hold an awk program
k_enumerators=$(git ls-files 'app/*' 'common/*' 'service/*' 'platform/*' 'contract/*' 'library/*' \
  'testsupport/*' | grep -E '\.(h|cpp)$' | grep -vE '^library/[^/]+/tests/' |
  grep -vF "${own_style:-/nothing/}" |
  xargs awk '/\<enum\>[^;]*\{/ { inside = 1 }
    inside && match($0, /(^|[{,])[[:space:]]*k[A-Z][A-Za-z0-9]*[[:space:]]*(=|,|}|\/\/|$)/) { print FILENAME ":" FNR ": " $0 }
    /\}/ { inside = 0 }' || true)
if [ -n "$k_enumerators" ]; then
  echo "$k_enumerators"
  echo "check-naming: enum constants begin with a prefix naming their type, not k (CONTRIBUTING.md)" >&2
  exit 1
fi

findings="$(mktemp)"
# The database as clang reads it: GCC's -fno-gnu-unique (the libraries' and
# the kit's, see library/kit/CMakeLists.txt) and -fno-keep-inline-dllexport
# (CMake's hidden inlines under MinGW, the reference library's) are no clang
# options.
clang_build="$(mktemp -d)"
trap 'rm -rf "$findings" "$clang_build"' EXIT
sed -e 's/ -fno-gnu-unique//g' -e 's/ -fno-keep-inline-dllexport//g' "$database" \
  >"$clang_build/compile_commands.json"
status=0
# shellcheck disable=SC2086
printf '%s\n' $files | xargs -P "$(nproc)" -n 3 "$tidy" -p "$clang_build" --quiet "${extra[@]}" >"$findings" 2>&1 ||
  status=$?
# A header's finding shows once for each file that includes it.
if grep -E '(warning|error):' "$findings" | sort -u | grep .; then
  echo "check-naming: clang-tidy findings: names differ from the conventions (CONTRIBUTING.md)," \
    "or a bugprone, static-analyzer or performance check fails, or a function passes 100 lines (.clang-tidy)" >&2
  exit 1
fi
if [ "$status" != 0 ]; then
  cat "$findings" >&2
  echo "check-naming: clang-tidy failed" >&2
  exit 1
fi
echo "check-naming: $(echo "$files" | wc -l) files, no findings"
