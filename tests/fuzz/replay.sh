#!/usr/bin/env bash
# Every committed fuzz corpus input once, under AddressSanitizer and UndefinedBehaviorSanitizer
# (scripts/fuzz --replay): deterministic, a few seconds once built.
#   replay.sh <source root> <build folder> <report.xml>
root=$1 build=$2 report=$3
source "$root/tests/junit.sh"
if output=$(ZV_BUILD="$build" "$root/scripts/fuzz" --replay 2>&1); then
  junit_report "$report" Fuzz CorpusReplaysCleanly
  echo "$output"
else
  junit_report "$report" Fuzz CorpusReplaysCleanly "$output"
  echo "$output" >&2
  exit 1
fi
