#!/usr/bin/env bash
# The layering check must refuse what it is there to refuse: runs check_layers.sh on fixture/, a
# small tree and link graph with broken arrows of every kind beside allowed ones, and expects it
# to fail with exactly the lines of fixture/expected.txt.
#   check_fixture.sh [--cxx COMPILER] [--sdk DIR] [<report.xml>]   (options as check_layers.sh's)
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
options=()
while [ $# -gt 1 ] && [[ $1 == --* ]]; do options+=("$1" "$2"); shift 2; done
report=${1:-}

got=$(cd "$here/fixture" && bash "$here/check_layers.sh" "${options[@]}" --links links.txt .)
status=$?
failure=""
if [ "$status" -ne 1 ]; then
  failure="check_layers.sh ended with $status on the fixture, not 1 (refused)"$'\n'"$got"
elif ! difference=$(diff -u "$here/fixture/expected.txt" <(printf '%s\n' "$got")); then
  failure="check_layers.sh did not report the fixture's broken arrows as expected:"
  failure+=$'\n'"$difference"
fi
[ -z "$failure" ] || printf '%s\n' "$failure"

if [ -n "$report" ]; then
  source "$here/../junit.sh"
  junit_report "$report" Layers FixtureIsRefused "$failure"
fi
[ -z "$failure" ]
