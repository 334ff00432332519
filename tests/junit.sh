# Sourced by the shell tests: writes the one-case JUnit-style XML report that scripts/test sums.
#   junit_report REPORT SUITE CASE [FAILURE-TEXT]   (no failure text: the case passed)
junit_report() {
  local report=$1 suite=$2 case=$3 failure=${4:-} failures=0 stamp
  [ -n "$failure" ] && failures=1
  stamp=$(date +%Y-%m-%dT%H:%M:%S)
  mkdir -p "$(dirname "$report")"
  {
    echo '<?xml version="1.0" encoding="UTF-8"?>'
    echo "<testsuites tests=\"1\" failures=\"$failures\" disabled=\"0\" errors=\"0\" time=\"0\" timestamp=\"$stamp\" name=\"AllTests\">"
    echo "  <testsuite name=\"$suite\" tests=\"1\" failures=\"$failures\" disabled=\"0\" errors=\"0\" time=\"0\" timestamp=\"$stamp\">"
    echo "    <testcase name=\"$case\" status=\"run\" result=\"completed\" time=\"0\" classname=\"$suite\">"
    if [ -n "$failure" ]; then
      echo "      <failure message=\"see the text\" type=\"\"><![CDATA["
      printf '%s\n' "${failure//]]>/]]]]><![CDATA[>}"
      echo "]]></failure>"
    fi
    echo "    </testcase>"
    echo "  </testsuite>"
    echo "</testsuites>"
  } > "$report"
}
