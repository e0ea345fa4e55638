# The yardstick for scripts/bench-report: the straightforward per-day total
# one would script first over the same logs. Each completed line's usage
# field is added to its user and start date: no split at midnight, no
# duplicates across files, the capped field as it stands. Run it with
# LC_ALL=C, so that the CP932 bytes are only bytes.
/     [0-9][0-9]:[0-9][0-9]\r?$/ {
    sub(/\r$/, "")
    if (!match($0, /[0-9][0-9]\/[0-9][0-9]\/[0-9][0-9]\(/))
        next
    user = substr($0, 1, RSTART - 1)
    sub(/ +$/, "", user)
    usage = substr($0, length($0) - 4)
    total[user "," substr($0, RSTART, 8)] += substr(usage, 1, 2) * 60 + substr(usage, 4, 2)
}
END {
    for (key in total)
        print key "," total[key]
}
