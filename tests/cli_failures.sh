#!/usr/bin/env bash
# The CLI meets a full disk, a closed pipe and too little memory as a user
# would: a message on standard error and its own exit status.
# Usage: cli_failures.sh CLI PROGRAM SANITIZED
set -u
cli=$1
program=$2
sanitized=$3
failures=0
expect() {
    local what=$1 wanted=$2 status=$3 errors=$4
    if [ "$status" -ne "$wanted" ] || [ -z "$errors" ]; then
        echo "FAIL $what: exit $status, stderr '$errors' (wanted exit $wanted and a message)"
        failures=$((failures + 1))
    fi
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A trace far larger than a pipe holds, so that the reader is gone while the
# CLI still writes.
for ((line = 0; line < 5000; ++line)); do
    echo "N$line G1 X$line Y-$line Z0.5"
done >"$work/long.nc"

for args in "check $program" "trace --script N $program" "explain $program"; do
    # shellcheck disable=SC2086
    "$cli" $args >/dev/full 2>"$work/err"
    expect "$args > /dev/full" 3 $? "$(cat "$work/err")"
    # A reader that goes away after the first bytes.
    # shellcheck disable=SC2086
done
"$cli" trace --script N "$work/long.nc" 2>"$work/err" | head -c 1 >/dev/null
expect "trace | head -c 1" 3 "${PIPESTATUS[0]}" "$(cat "$work/err")"

# The listing is reserved at once for the whole file; with 800 MB of address
# space a 700 MB file cannot be loaded. The sanitizers need far more address
# space than that, so they skip this.
if [ "$sanitized" != 1 ] && [ "$sanitized" != ON ]; then
    truncate -s 700M "$work/large.nc"
    output=$( (ulimit -v 800000; "$cli" check "$work/large.nc") 2>"$work/err")
    status=$?
    if [ $status -ne 1 ] || [ "$output" != "$work/large.nc: Not enough memory." ]; then
        echo "FAIL out of memory: exit $status, output '$output', stderr '$(cat "$work/err")'"
        failures=$((failures + 1))
    fi
    # A grid of 4 million cells (48 MB with its marks) fits in 75 MB of
    # address space, the snapshot of it that the sweep takes after this much
    # work does not.
    for ((pass = 0; pass < 3200; ++pass)); do
        echo "G1 X$((pass % 2 * 1990 + 5)) Y$((pass * 5 % 2000)) Z-1"
    done >"$work/wide.nc"
    (ulimit -v 75000; "$cli" stock --stock 0,0,-5,2000,2000,0 --cell 1 "$work/wide.nc") >/dev/null 2>"$work/err"
    status=$?
    if [ $status -ne 1 ] || [ "$(cat "$work/err")" != "tornavel-cli: Not enough memory." ]; then
        echo "FAIL stock out of memory: exit $status, stderr '$(cat "$work/err")'"
        failures=$((failures + 1))
    fi
fi
echo "$failures failures"
[ $failures -eq 0 ]
