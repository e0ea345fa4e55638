#!/bin/bash
# The report page as a browser sees it: Debian's Chromium loads the page
# that the end-to-end report case wrote, offline and headless; its DOM must
# hold a month of day rows, the crashed session's mark and a bar, the
# comparison with the timesheet and the declared span on the timeline, and
# nothing may come from elsewhere. The screenshot is kept to look at.
#   report_page.sh PAGE SCREENSHOTS-FOLDER
set -euo pipefail
page=$1
shots=$2
profile=$(mktemp -d)
trap 'rm -rf "$profile"' EXIT
browse() {
    timeout 120 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
        --disable-background-networking --disable-component-update --disable-sync \
        --user-data-dir="$profile" "$@" "file://$page" 2>"$profile/stderr"
}
fail() { echo "$1"; cat "$profile/stderr"; exit 1; }

dom=$(browse --dump-dom) || fail "chromium could not load $page"
rows=$(printf '%s' "$dom" | grep -o '<tr[^>]*data-day="[0-9-]*"' | wc -l)
[ "$rows" -ge 28 ] && [ "$rows" -le 31 ] || fail "$rows day rows, not a month"
printf '%s' "$dom" | grep -q '<span class="x">異常終了</span>' || fail "no crash mark in the day table"
printf '%s' "$dom" | grep -q '<b class="x" title="異常終了' || fail "no crash mark on the timeline"
printf '%s' "$dom" | grep -q '<h3>[0-9]*年[0-9]*月</h3>' || fail "no month heading"
printf '%s' "$dom" | grep -q '<h2 id="gaps">勤怠との乖離</h2>' || fail "no section on the timesheet"
printf '%s' "$dom" | grep -q '<p>しきい値 20 分' || fail "not the threshold given"
printf '%s' "$dom" | grep -Eq '<td>(始業前|終業後)の使用</td></tr>' || fail "no flagged day in the section"
printf '%s' "$dom" | grep -Eq '<span class="g">(始業前|終業後)の使用</span>' || fail "no flag in the day table"
printf '%s' "$dom" | grep -q '<td class="t"><s title="申告 [0-9:～]*" style="left:[0-9.]*%;width:' || fail "no declared span"
if grep -Eq '(src|href)="[a-z]+:|@import|url\(' "$page"; then fail "the page refers elsewhere"; fi

mkdir -p "$shots"
browse --screenshot="$shots/report.png" --window-size=1100,1000 || fail "no screenshot"
[ -s "$shots/report.png" ] || fail "empty screenshot"
