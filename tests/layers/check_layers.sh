#!/usr/bin/env bash
# Keeps the arrows between our folders pointing one way (base at the bottom, the programs at the
# top), so that the portable layers stay portable and the packer never drags in the window
# framework. Two kinds of arrow are read:
# - include lines: every .h/.cpp/.c file under the source root except build trees and tests/;
#   an include of a folder the layer may not use breaks the layering, and so does a Windows SDK
#   header in portable code;
# - link lines: the graph a CMake tree writes (zv_link_graph.txt, see cmake/project.cmake), one
#   line per target, "target folder dependency...": a target may link only targets of its own
#   layer and of the layers below it.
# Prints one line per broken arrow and fails if there is any.
#   check_layers.sh [--links GRAPH] [--sdk DIR] [--cxx COMPILER] [--report XML] [<source root>]
# At least one of the source root (include lines) and --links (link lines) is needed.
#   --sdk DIR       the Windows SDK's headers (mingw-w64's; default /usr/share/mingw-w64/include)
#   --cxx COMPILER  the native C++ compiler (default c++): the headers it finds are portable
#   --report XML    a JUnit-style XML report with one test case, the shape scripts/test sums
# An include counts as ours when its first path component is one of our folders, in quotes or in
# angle brackets alike; anything else is third-party or system and free to use, unless it is a
# Windows SDK header: one that the SDK holds (in any case, as Windows finds it) and the native
# compiler does not (so <sys/stat.h> or <pthread.h>, which both have, stay portable).
# Needs only bash, coreutils, grep, find and the native compiler: it runs wherever the native tree
# is built.
set -uo pipefail

usage() {
  echo "usage: $0 [--links GRAPH] [--sdk DIR] [--cxx COMPILER] [--report XML] [<source root>]" >&2
  exit 2
}
root="" links="" sdk=/usr/share/mingw-w64/include cxx=c++ report=""
while [ $# -gt 0 ]; do
  case $1 in
    --links | --sdk | --cxx | --report)
      [ $# -ge 2 ] || usage
      case $1 in
        --links) links=$2 ;;
        --sdk) sdk=$2 ;;
        --cxx) cxx=$2 ;;
        --report) report=$2 ;;
      esac
      shift 2
      ;;
    -*) usage ;;
    *) [ -z "$root" ] || usage; root=$(cd "$1" && pwd) || exit 2; shift ;;
  esac
done
[ -n "$root" ] || [ -n "$links" ] || usage

# What each layer may use besides its own folder. A layer is a top-level folder, or a folder
# under tools/ (each tool stands on its own).
declare -A allowed=(
  [base]=""
  [win]="base"
  [package]="base"        # its *_win files add win, below
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
  [package]="package may use only base (and win in *_win files)"
  [ui]="ui may use only win, base"
  [paint]="paint may use only ui, win, base"
  [app]="app may use only ui, paint, package, win, base"
  [tools/zvpack]="tools/zvpack may use only package, win, base"
  [tools/render-picture]="tools/render-picture may use only paint, ui, win, base, package"
  [examples]="examples may use anything but tests"
)
# What a layer's *_win files may use besides (the library of a layer holds them too, so its
# links may).
declare -A win_files_add=([package]="win")

# Where the Windows SDK may be included. Portable layers keep it to their *_win files. In paint/
# and app/ every .cpp that is not *_win.cpp is built in the native tree too, so it is portable;
# their headers serve the Windows halves. ui/, win/ and the Windows-only programs are free.
declare -A sdk_rule=(
  [base]="base must stay portable: Windows SDK headers only in *_win files"
  [package]="package may use Windows SDK headers only in *_win files"
  [tools/zvpack]="tools/zvpack may use Windows SDK headers only in *_win files"
)
portable_sources=" paint app "
# The vector-picture reader is a portable library, built and tested in the native tree too, so it
# sees only base and itself.
vector_picture_rule="the vector-picture reader may use only base and paint/vector_picture.h"
vector_picture_sdk="the vector-picture reader must stay portable: no Windows SDK headers"

# First path components that are ours; "x/y.h" with any other first component is third-party.
ours=" base win package ui paint app tools tests examples "

# Sets normalized to a relative path with "." and ".." collapsed; empty if the path climbs out
# of the root. (Results go through variables, not $(...): a subshell per include line made the
# check take minutes on a busy machine.)
normalize() {
  local part
  local -a parts out=()
  normalized=""
  IFS=/ read -ra parts <<<"$1"
  for part in "${parts[@]}"; do
    case $part in
      '' | .) ;;
      ..) [ ${#out[@]} -gt 0 ] || return 0; unset 'out[-1]' ;;
      *) out+=("$part") ;;
    esac
  done
  local IFS=/
  normalized="${out[*]}"
}

# Sets layer to the layer a path inside the root belongs to: "base", "tools/zvpack", ...;
# "tools" for a file directly in tools/; empty when its first component is not ours.
layer_of() {
  local first=${1%%/*}
  layer=""
  [ "$first" = "$1" ] && return 0  # a file at the top has no layer
  case "$ours" in *" $first "*) ;; *) return 0 ;; esac
  if [ "$first" = tools ]; then
    local rest=${1#tools/}
    if [ "$rest" = "${rest#*/}" ]; then layer=tools; else layer=tools/${rest%%/*}; fi
  else
    layer=$first
  fi
}

violations=()
note() { violations+=("$1"); echo "$1"; }
summary=()

# ---- Include lines -----------------------------------------------------------------------------

# The SDK's header names, lower case (Windows finds them in any case), and the native compiler's
# include folders.
declare -A sdk_headers=()
native_dirs=()
load_headers() {
  local name dir
  while IFS= read -r -d '' name; do
    name=${name#"$sdk"/}
    sdk_headers[${name,,}]=1
  done < <(find "$sdk" \( -type f -o -type l \) -print0 2>/dev/null)
  [ -n "${sdk_headers[windows.h]+set}" ] || note "no Windows SDK headers in $sdk (give --sdk)"
  while IFS= read -r dir; do
    native_dirs+=("$dir")
  done < <("$cxx" -xc++ -E -v - </dev/null 2>&1 >/dev/null |
             sed -n '/^#include <...> search starts here:/,/^End of search list/{s/^ //p}')
  [ ${#native_dirs[@]} -gt 0 ] ||
    note "no include folders from the native compiler $cxx (give --cxx)"
}

# True when path (as written in the include) is a Windows SDK header.
is_sdk_header() {
  [ -n "${sdk_headers[${1,,}]+set}" ] || return 1
  local dir
  for dir in "${native_dirs[@]}"; do
    [ -e "$dir/$1" ] && return 1
  done
  return 0
}

check_includes() {
  load_headers
  local checked=0 skip=(-path "$root/build" -o -path "$root/tests" -o -name ".*")
  local file cache rel dir may why no_sdk vector_picture line number text open path shown target
  local include_re='^[[:space:]]*#[[:space:]]*include[[:space:]]*([<"])([^">]*)[">]'
  # Skipped: build trees (build/, and any other folder CMake configured inside the root: they
  # hold generated sources), the tests, and hidden folders.
  while IFS= read -r -d "" cache; do
    skip+=(-o -path "$(dirname "$cache")")
  done < <(find "$root" -mindepth 1 \( "${skip[@]}" \) -prune -o -name CMakeCache.txt -print0)

  while IFS= read -r -d '' file; do
    rel=${file#"$root"/}
    layer_of "$rel"
    local from=$layer
    [ -n "$from" ] || continue  # not ours: third-party or loose files
    checked=$((checked + 1))
    dir=$(dirname "$rel")
    if [ -z "${allowed[$from]+set}" ]; then
      note "$rel: no layer rule for $from/; add one to tests/layers/check_layers.sh"
      continue
    fi

    may="${allowed[$from]}"
    why="${rule[$from]}"
    no_sdk="${sdk_rule[$from]:-}"
    vector_picture=""
    case ${rel##*/} in
      *_win.h | *_win.cpp | *_win.c)
        no_sdk=""
        may="$may${win_files_add[$from]:+ ${win_files_add[$from]}}"
        ;;
      *.cpp)
        case $portable_sources in
          *" $from "*)
            no_sdk="$from's .cpp files but *_win.cpp are built in the native tree too:"
            no_sdk+=" no Windows SDK headers"
            ;;
        esac
        ;;
    esac
    case $rel in
      paint/vector_picture.h | paint/vector_picture.cpp)
        vector_picture=1
        may="base"
        why=$vector_picture_rule
        no_sdk=$vector_picture_sdk
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

      # Where the compiler finds it: next to the including file first (quoted form only), then
      # from the root, which every target has on its include path.
      target=""
      if [ "$open" = '"' ]; then
        normalize "$dir/$path"
        [ -n "$normalized" ] && [ -f "$root/$normalized" ] && target=$normalized
      fi
      [ -n "$target" ] || { normalize "$path"; target=$normalized; }
      layer=""
      [ -n "$target" ] && layer_of "$target"
      local to=$layer
      if [ -z "$to" ]; then  # third-party or system
        [ -n "$no_sdk" ] && is_sdk_header "$path" &&
          note "$rel:$number: includes $shown: $no_sdk"
        continue
      fi

      if [ -n "$vector_picture" ]; then
        [ "$to" = base ] || [ "$target" = paint/vector_picture.h ] ||
          note "$rel:$number: includes $shown: $why"
        continue
      fi
      [ "$to" = "$from" ] && continue
      [ "$may" = "*" ] && [ "$to" != tests ] && continue
      case " $may " in *" $to "*) continue ;; esac
      note "$rel:$number: includes $shown: $why"
    done < <(grep -n -E '^[[:space:]]*#[[:space:]]*include' "$file")
  done < <(find "$root" -mindepth 1 \( "${skip[@]}" \) -prune -o -type f \
             \( -name '*.h' -o -name '*.cpp' -o -name '*.c' \) -print0 | sort -z)

  # A wrong root would find nothing and pass; refuse that.
  [ "$checked" -gt 0 ] || note "no source files found under $root"
  summary+=("checked $checked files")
}

# ---- Link lines --------------------------------------------------------------------------------

check_links() {
  local target folder deps dep edges=0
  local -A folder_of=()
  if [ ! -f "$links" ]; then
    note "no link graph at $links"
    return
  fi
  while read -r target folder deps; do
    case $target in '' | '#'*) continue ;; esac
    folder_of[$target]=$folder
  done <"$links"
  [ ${#folder_of[@]} -gt 0 ] || note "no targets in the link graph $links"

  while read -r target folder deps; do
    case $target in '' | '#'*) continue ;; esac
    layer_of "$folder/-"
    local from=$layer
    # The tests link whatever they test; targets outside our folders are third-party.
    [ -n "$from" ] && [ "$from" != tests ] || continue
    if [ -z "${allowed[$from]+set}" ]; then
      note "link graph: $target: no layer rule for $from/; add one to tests/layers/check_layers.sh"
      continue
    fi
    local may="${allowed[$from]} ${win_files_add[$from]:-}"
    for dep in $deps; do
      [ -n "${folder_of[$dep]+set}" ] || continue  # a system library or an imported target
      edges=$((edges + 1))
      layer_of "${folder_of[$dep]}/-"
      local to=$layer
      [ -n "$to" ] || continue  # third-party code built in the tree
      [ "$to" = "$from" ] && continue
      [ "${allowed[$from]}" = "*" ] && [ "$to" != tests ] && continue
      case " $may " in *" $to "*) continue ;; esac
      note "link graph: $target ($from/) links $dep ($to/): ${rule[$from]}"
    done
  done <"$links"
  summary+=("$edges links between targets")
}

[ -z "$root" ] || check_includes
[ -z "$links" ] || check_links

failures=0
[ ${#violations[@]} -gt 0 ] && failures=1
summary_text=$(IFS=,; echo "${summary[*]}")
echo "${summary_text//,/, }: ${#violations[@]} broken arrows"

if [ -n "$report" ]; then
  source "$(dirname "${BASH_SOURCE[0]}")/../junit.sh"
  junit_report "$report" Layers ArrowsPointDownward "$(printf '%s\n' "${violations[@]}")"
fi
exit $failures
