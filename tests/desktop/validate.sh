#!/usr/bin/env bash
# The menu entry and the software-centre description pass their validators without a word, and
# the newest release they and the manual page name is the program's version.
set -uo pipefail
desktop=$1 metainfo=$2 manpage=$3 version=$4
status=0
for check in "desktop-file-validate $desktop" "appstreamcli validate --no-net $metainfo"; do
    out=$($check 2>&1) || { echo "FAIL ($check exited $?):"; status=1; }
    # appstreamcli ends with a one-line verdict even when all is well; anything else is a finding.
    findings=$(printf '%s\n' "$out" | grep -v -e '^$' -e '^✔ Validation was successful' || true)
    [ -z "$findings" ] || { echo "FAIL: $check says:"; echo "$findings"; status=1; }
done
grep -q "<release version=\"$version\"" "$metainfo" || { echo "FAIL: no release $version in $metainfo"; status=1; }
grep -q "^\.TH .*\"Pantrio $version\"" "$manpage" || { echo "FAIL: $manpage is not for $version"; status=1; }
exit $status
