#!/bin/bash
# The report's pages as a browser sees them: Debian's Chromium loads the
# overview that the end-to-end report case wrote, offline and headless,
# with its comparison with the timesheet, follows its first month link to
# the month's page, whose DOM must hold a month of day rows, the crashed
# session's marks, the flagged day, its missing reason and its declared
# span, and follows that page's link back to the overview. Nothing may
# come from elsewhere. The screenshots are kept to look at. A report whose
# month is split by department: its overview's link to a department's
# page, which holds that department's calendars and leads to the month's
# index, whose links lead to each department's page.
#   report_page.sh OVERVIEW SCREENSHOTS-FOLDER SPLIT-OVERVIEW
set -euo pipefail
# No "printf | grep -q" here: grep -q leaves at the first match, and with
# pipefail the writer's broken pipe would fail the check.
page=$1
shots=$2
split=$3
profile=$(mktemp -d)
trap 'rm -rf "$profile"' EXIT
browse() {
    file=$1
    shift
    timeout 120 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
        --disable-background-networking --disable-component-update --disable-sync \
        --user-data-dir="$profile" "$@" "file://$file" 2>"$profile/stderr"
}
fail() { echo "$1"; cat "$profile/stderr"; exit 1; }
# The file an href of a page leads to, or nothing.
follow() { grep -o "$3" <<<"$2" | sed -n '1{s/^.*href="//; s/[#"].*$//; s|^|'"$(dirname "$1")"'/|; p}'; }

dom=$(browse "$page" --dump-dom) || fail "chromium could not load $page"
grep -q '<table class="totals">' <<<"$dom" || fail "no totals on the overview"
grep -q '<h2 id="gaps">勤怠との乖離</h2>' <<<"$dom" || fail "no section on the timesheet"
grep -q '<p>しきい値 20 分' <<<"$dom" || fail "not the threshold given"
grep -Eq '<td>(始業前|終業後)の使用</td><td></td></tr>' <<<"$dom" || fail "no flagged day in the section"
month=$(follow "$page" "$dom" '<a href="morvalen-report/[0-9-]*\.html#u[0-9]*"')
[ -f "$month" ] || fail "the overview's first month link leads nowhere: '$month'"

days=$(browse "$month" --dump-dom) || fail "chromium could not load $month"
rows=$(grep -o '<tr[^>]*data-day="[0-9-]*"' <<<"$days" | wc -l)
[ "$rows" -ge 28 ] && [ "$rows" -le 31 ] || fail "$rows day rows, not a month"
grep -q '<span class="x">異常終了</span>' <<<"$days" || fail "no crash mark in the day table"
grep -q '<b class="x" title="異常終了' <<<"$days" || fail "no crash mark on the timeline"
grep -q '<h1>使用時間の集計 [0-9]*年[0-9]*月</h1>' <<<"$days" || fail "no month heading"
grep -Eq '<span class="g">(始業前|終業後)の使用</span> <span class="bad">理由未記入</span>' <<<"$days" ||
    fail "no flag and no word of its missing reason in the day table"
grep -q '<td class="t"><s title="申告 [0-9:～]*" style="left:[0-9.]*%;width:' <<<"$days" || fail "no declared span"
back=$(follow "$month" "$days" '<nav><a href="[^"]*"')
[ "$(realpath "$back")" = "$(realpath "$page")" ] || fail "the month page leads back to '$back', not the overview"
grep -q '<table class="months">' <<<"$(browse "$back" --dump-dom)" || fail "no month table on the overview"
if grep -Eq '(src|href)="[a-z]+:|@import|url\(' "$page" "$month"; then fail "a page refers elsewhere"; fi

dom=$(browse "$split" --dump-dom) || fail "chromium could not load $split"
part=$(follow "$split" "$dom" '<p class="ix">[^<]*<a href="morvalen-report/[0-9]*-[0-9]*-[^"]*\.html"')
[ -f "$part" ] || fail "the overview's link to a department's page leads nowhere: '$part'"
days=$(browse "$part" --dump-dom) || fail "chromium could not load $part"
rows=$(grep -o '<tr[^>]*data-day="[0-9-]*"' <<<"$days" | wc -l)
[ "$rows" -ge 28 ] || fail "$rows day rows on the department's page"
grep -q '<h1>使用時間の集計 [0-9]*年[0-9]*月 [^<]*</h1>' <<<"$days" || fail "no department in the heading"
index=$(dirname "$part")/$(grep -o '<nav><a href="[^"]*">[^<]*</a><a href="[^"]*"' <<<"$days" | sed -n '1{s/^.*href="//; s/"$//; p}')
[ -f "$index" ] || fail "the department's page leads to no index: '$index'"
links=$(browse "$index" --dump-dom | grep -o '<p class="ix"><b>[^<]*</b>: <a href="[^"#]*' | sed 's/^.*href="//') ||
    fail "no index of departments on $index"
[ "$(wc -l <<<"$links")" -ge 2 ] || fail "the index links to fewer than two departments' pages"
while read -r link; do
    [ -f "$(dirname "$index")/$link" ] || fail "the index's link to $link leads nowhere"
done <<<"$links"
grep -q "$(basename "$part")" <<<"$links" || fail "the index does not lead to $(basename "$part")"

mkdir -p "$shots"
browse "$page" --screenshot="$shots/report.png" --window-size=1100,1000 || fail "no screenshot"
browse "$month" --screenshot="$shots/report-month.png" --window-size=1100,1000 || fail "no screenshot"
[ -s "$shots/report.png" ] && [ -s "$shots/report-month.png" ] || fail "empty screenshot"
