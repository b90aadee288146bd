#!/usr/bin/env bash
# The man page must format without any groff warning, and carry the sections
# a user expects. Usage: check_man_page.sh PAGE. Exits 77 (skipped) without groff.
set -u
page=$1
if ! command -v groff >/dev/null; then
  echo "SKIP: groff is not installed"
  exit 77
fi
warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1)
if [ -n "$warnings" ]; then
  echo "$warnings"; echo "FAIL groff warnings"; exit 1
fi
text=$(groff -man -Tutf8 -P-c -P-b -P-u "$page" 2>/dev/null)
fail=0
for section in NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" FILES EXAMPLES "SEE ALSO"; do
  grep -q "^$section\$" <<<"$text" || { echo "FAIL no section $section"; fail=1; }
done
[ $fail -eq 0 ] && echo "PASS man page"
exit $fail
