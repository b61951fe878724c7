#!/usr/bin/env bash
# Checks the include graph between the folders against the table below, and
# that operating-system headers are included only where the code talks to
# the operating system. Folders depend inward:
#   contract/      nothing of the project (the program and the libraries
#                  both include it, so it may include neither)
#   common/        common/
#   platform/      common/
#   service/       common/, contract/, platform/
#   app/filemode/  common/, contract/, platform/, service/
#   app/           everything of the product, app/filemode/ included
#   library/kit/   contract/ (the kit every library may use)
#   library/NAME/  its own folder, contract/ and library/kit/
#   The reference library (library/apertium/) in its parts, each also
#   allowed contract/ and library/kit/:
#     text/          markup, pieces, language codes, case rules: text/ only
#     engine/        the engine interface, errors, pairs: engine/, text/
#     local/         the local engine (Apertium's chains): local/, engine/, text/
#     server/        the server engine (APY): server/, engine/, text/
#     memory/        the translation memory and xlate-memory: memory/, text/
#     the facade     (the folder's own files): every part
#   A part includes another by its path from library/apertium/
#   ("engine/ZtaErrors.h"), a file beside it by its name.
#   testsupport/, tests/, fuzz/, bench/, library/apertium/tests/  anything
# Operating-system headers (<unistd.h>, <windows.h>, <sys/...>, ...) only in
# platform/ and testsupport/posix/, testsupport/windows/. library/apertium is
# left out of that rule: the reference library is a program of its own, with
# its own POSIX and Windows files (*_posix.cpp, *_windows.cpp); so are the
# kit's HTTP transports (library/kit/*Transport.cpp), WinHTTP's included.
set -euo pipefail
cd "$(dirname "$0")/.."

declare -A allowed=(
  [contract]="contract"
  [common]="common"
  [platform]="platform common"
  [service]="service common contract platform"
  [app/filemode]="app/filemode common contract platform service"
  [app]="app app/filemode common contract platform service"
  [library/kit]="contract"
  [library]="contract library/kit"
  [library/apertium]="library/apertium/text library/apertium/engine library/apertium/local library/apertium/server library/apertium/memory contract library/kit"
  [library/apertium/engine]="library/apertium/text contract library/kit"
  [library/apertium/local]="library/apertium/engine library/apertium/text contract library/kit"
  [library/apertium/server]="library/apertium/engine library/apertium/text contract library/kit"
  [library/apertium/text]="contract library/kit"
  [library/apertium/memory]="library/apertium/text contract library/kit"
)
open_folders="testsupport tests fuzz bench library/apertium/tests"

os_headers='^(unistd|windows|winhttp|winsock2|ws2tcpip|fcntl|dlfcn|iconv|pthread|spawn|poll|dirent|ucontext|signal|termios|langinfo|io|direct|process|shellapi|shlwapi|sys/[a-z_/]+|netinet/[a-z_]+|arpa/[a-z_]+|netdb)\.h$'

# The folder a file belongs to for the table: app/filemode is its own layer,
# every library its own folder, and each part of the reference library.
# Sets layer (a variable, not output: the loop below calls it for every
# include, and a subshell each time is what made this check slow).
layer_of() {
  local rest
  case "$1" in
    app/filemode/*) layer=app/filemode ;;
    library/apertium/*/*)
      rest="${1#library/apertium/}"
      layer="library/apertium/${rest%%/*}"
      ;;
    library/*/*)
      rest="${1#library/}"
      layer="library/${rest%%/*}"
      ;;
    */*) layer="${1%%/*}" ;;
    *) layer="." ;;
  esac
}

failures=0
while IFS= read -r file; do
  layer_of "$file"
  from="$layer"
  while IFS= read -r line; do
    [ -n "$line" ] || continue
    number="${line%%:*}"
    [[ "$line" =~ ^[0-9]+:[[:space:]]*#[[:space:]]*include[[:space:]]*[\<\"]([^\>\"]+)[\>\"] ]] || continue
    header="${BASH_REMATCH[1]}"
    case "$line" in
      *'<'*)
        # A system header: is it an operating system's?
        if [[ "$header" =~ $os_headers ]]; then
          case "$file" in
            platform/* | testsupport/posix/* | testsupport/windows/* | library/apertium/* | \
              library/kit/*Transport.cpp) ;;
            *)
              echo "$file:$number: includes the operating-system header <$header>"
              failures=$((failures + 1))
              ;;
          esac
        fi
        ;;
      *)
        # A project header: a path from the top ("common/Types.h") or a file
        # beside the includer ("TestSupport.h").
        # The reference library's parts include each other by their path
        # from library/apertium/, which is also where a name alone is found
        # when no file of that name stands beside the includer.
        case "$file" in
          library/apertium/*)
            if [ -e "$(dirname "$file")/$header" ]; then continue; fi
            [ -e "$header" ] || header="library/apertium/$header"
            ;;
          *) case "$header" in */*) ;; *) continue ;; esac ;;
        esac
        [ -e "$header" ] || continue
        layer_of "$header"
        to="$layer"
        [ "$to" = "$from" ] && continue
        case " $open_folders " in *" ${from%%/*} "* | *" $from "*) continue ;; esac
        key="$from"
        case "$from" in library/kit | library/apertium*) ;; library/*) key=library ;; esac
        if [ -n "${allowed[$key]+set}" ] && [[ " ${allowed[$key]} " == *" $to "* ]]; then
          continue
        fi
        echo "$file:$number: $from/ may not include $header ($to/)"
        failures=$((failures + 1))
        ;;
    esac
  done < <(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]' "$file" || true)
done < <(git ls-files '*.cpp' '*.h' '*.hpp' '*.cc')

if [ "$failures" -gt 0 ]; then
  echo "check-layers: $failures include(s) break the layering (see the table in $0)" >&2
  exit 1
fi
echo "check-layers: the includes keep to the layering"
