#!/usr/bin/env bash
# Keeps the include arrows between our folders pointing one way (base at the bottom, the programs
# at the top), so that the portable layers stay portable and the packer never drags in the window
# framework. Reads the #include lines of every .h/.cpp/.c file under the source root except
# build/ and tests/, prints one line per include that breaks the layering, and fails if there is
# any.
#   check_layers.sh <source root> [<report.xml>]
# The report is JUnit-style XML with one test case, the shape scripts/test sums.
# An include counts as ours when its first path component is one of our folders, in quotes or in
# angle brackets alike; anything else is third-party or system and free to use, <windows.h> aside.
# Needs only bash, coreutils, grep and find: it runs wherever the native tree is built.
set -uo pipefail

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
  echo "usage: $0 <source root> [<report.xml>]" >&2
  exit 2
fi
root=$(cd "$1" && pwd) || exit 2
report=${2:-}

# What each layer may include besides its own folder. A layer is a top-level folder, or a folder
# under tools/ (each tool stands on its own).
declare -A allowed=(
  [base]=""
  [win]="base"
  [package]="base"        # *_win.cpp files add win, below
  [ui]="win base"
  [paint]="ui win base"   # the vector-picture reader is narrower, below
  [app]="ui paint package win base"
  [tools/zvpack]="package win base"
  [tools/render-picture]="paint ui win base package"
  [examples]="*"          # anything but tests
)
declare -A rule=(
  [base]="base may use nothing of ours"
  [win]="win may use only base"
  [package]="package may use only base (and win in *_win.cpp)"
  [ui]="ui may use only win, base"
  [paint]="paint may use only ui, win, base"
  [app]="app may use only ui, paint, package, win, base"
  [tools/zvpack]="tools/zvpack may use only package, win, base"
  [tools/render-picture]="tools/render-picture may use only paint, ui, win, base, package"
  [examples]="examples may use anything but tests"
)
# The vector-picture reader is a portable library, built and tested in the native tree too, so it
# sees only base and itself.
vector_picture_rule="the vector-picture reader may use only base and paint/vector_picture.h"

# First path components that are ours; "x/y.h" with any other first component is third-party.
ours=" base win package ui paint app tools tests examples "

# Collapses "." and ".." in a relative path. Prints nothing if the path climbs out of the root.
normalize() {
  local part
  local -a parts out=()
  IFS=/ read -ra parts <<<"$1"
  for part in "${parts[@]}"; do
    case $part in
      '' | .) ;;
      ..) [ ${#out[@]} -gt 0 ] || return 0; unset 'out[-1]' ;;
      *) out+=("$part") ;;
    esac
  done
  local IFS=/
  printf "%s" "${out[*]}"
}

# The layer a path inside the root belongs to: "base", "tools/zvpack", ...; "tools" for a file
# directly in tools/; empty when its first component is not ours.
layer_of() {
  local first=${1%%/*}
  [ "$first" = "$1" ] && first=""  # a file at the top has no layer
  case "$ours" in *" $first "*) ;; *) return 0 ;; esac
  if [ "$first" = tools ]; then
    local rest=${1#tools/}
    if [ "$rest" = "${rest#*/}" ]; then printf 'tools'; else printf 'tools/%s' "${rest%%/*}"; fi
  else
    printf '%s' "$first"
  fi
}

violations=()
checked=0
note() { violations+=("$1"); echo "$1"; }

# Skipped: build trees (build/, and any other folder CMake configured inside the root: they hold
# generated sources), the tests, and hidden folders.
skip=(-path "$root/build" -o -path "$root/tests" -o -name ".*")
while IFS= read -r -d "" cache; do
  skip+=(-o -path "$(dirname "$cache")")
done < <(find "$root" -mindepth 1 \( "${skip[@]}" \) -prune -o -name CMakeCache.txt -print0)

include_re='^[[:space:]]*#[[:space:]]*include[[:space:]]*([<"])([^">]*)[">]'

while IFS= read -r -d '' file; do
  rel=${file#"$root"/}
  layer=$(layer_of "$rel")
  [ -n "$layer" ] || continue  # not ours: third-party or loose files
  checked=$((checked + 1))
  dir=$(dirname "$rel")
  if [ -z "${allowed[$layer]+set}" ]; then
    note "$rel: no layer rule for $layer/; add one to tests/layers/check_layers.sh"
    continue
  fi

  may="${allowed[$layer]}"
  why="${rule[$layer]}"
  no_windows=""
  vector_picture=""
  case $rel in
    base/*) no_windows="base must stay portable: no <windows.h>" ;;
    package/*_win.cpp) may="$may win" ;;
    package/*) no_windows="package may use <windows.h> only in *_win.cpp" ;;
    paint/vector_picture.h | paint/vector_picture.cpp)
      vector_picture=1
      may="base"
      why=$vector_picture_rule
      no_windows="the vector-picture reader must stay portable: no <windows.h>"
      ;;
  esac

  while IFS= read -r line; do
    number=${line%%:*}
    text=${line#*:}
    text=${text%$'\r'}
    [[ $text =~ $include_re ]] || continue
    open=${BASH_REMATCH[1]}
    path=${BASH_REMATCH[2]}
    if [ "$open" = '<' ]; then shown="<$path>"; else shown="\"$path\""; fi

    lower=${path,,}
    if [ "$lower" = windows.h ]; then
      [ -n "$no_windows" ] && note "$rel:$number: includes $shown: $no_windows"
      continue
    fi

    # Where the compiler finds it: next to the including file first (quoted form only), then
    # from the root, which every target has on its include path.
    target=""
    if [ "$open" = '"' ]; then
      local_path=$(normalize "$dir/$path")
      [ -n "$local_path" ] && [ -f "$root/$local_path" ] && target=$local_path
    fi
    [ -n "$target" ] || target=$(normalize "$path")
    [ -n "$target" ] || continue  # climbs out of the tree: not ours
    to=$(layer_of "$target")
    [ -n "$to" ] || continue  # third-party or system

    if [ -n "$vector_picture" ]; then
      [ "$to" = base ] || [ "$target" = paint/vector_picture.h ] ||
        note "$rel:$number: includes $shown: $why"
      continue
    fi
    [ "$to" = "$layer" ] && continue
    [ "$may" = "*" ] && [ "$to" != tests ] && continue
    case " $may " in *" $to "*) continue ;; esac
    note "$rel:$number: includes $shown: $why"
  done < <(grep -n -E '^[[:space:]]*#[[:space:]]*include' "$file")
done < <(find "$root" -mindepth 1 \( "${skip[@]}" \) -prune -o -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.c' \) \
           -print0 | sort -z)

# A wrong root would find nothing and pass; refuse that.
if [ "$checked" -eq 0 ]; then
  note "no source files found under $root"
fi

failures=0
[ ${#violations[@]} -gt 0 ] && failures=1
echo "checked $checked files: ${#violations[@]} broken includes"

if [ -n "$report" ]; then
  source "$(dirname "${BASH_SOURCE[0]}")/../junit.sh"
  junit_report "$report" Layers IncludesPointDownward "$(printf '%s\n' "${violations[@]}")"
fi
exit $failures
