#!/usr/bin/env bash
# The check of a class's folder and the explain subcommand as a teacher meets
# them on the command line: what is printed and the exit status, and a folder
# that cannot be read. As root every folder can be read, so that case runs the
# CLI as the user nobody where setpriv allows it.
# Usage: cli_check.sh CLI PROGRAM
set -u
cli=$1
program=$2
failures=0
expect() {
    local what=$1 wanted=$2 status=$3 output=$4 expected=$5
    if [ "$status" -ne "$wanted" ] || [ "$output" != "$expected" ]; then
        echo "FAIL $what: exit $status (wanted $wanted)"
        echo "  got:      $(printf '%q' "$output")"
        echo "  expected: $(printf '%q' "$expected")"
        failures=$((failures + 1))
    fi
}
work=$(mktemp -d)
trap 'chmod -R u+rwx "$work"; rm -rf "$work"' EXIT
chmod 755 "$work"
mkdir -p "$work/class/anna" "$work/class/ben" "$work/class/locked" "$work/class/empty"
printf 'G1 X1\r\n' >"$work/class/anna/pocket.nc"
printf 'G1 X1\r\nX\r\n' >"$work/class/ben/pocket.nc"
printf 'G1 X1\r\n' >"$work/class/locked/hidden.nc"
chmod -R a+rX "$work/class"

output=$("$cli" check "$work/class")
expect "check a class folder" 1 $? "$output" "$work/class/anna/pocket.nc: OK (3 words, 1 lines)
$work/class/ben/pocket.nc: Syntax error in line: 2
$work/class/locked/hidden.nc: OK (3 words, 1 lines)
3 files: 2 loaded, 1 failed"

output=$("$cli" check "$work/class/anna" "$work/class/empty")
expect "check good folders" 0 $? "$output" "$work/class/anna/pocket.nc: OK (3 words, 1 lines)
1 files: 1 loaded, 0 failed"

output=$("$cli" check "$work/class/anna/pocket.nc")
expect "check a file alone" 0 $? "$output" "$work/class/anna/pocket.nc: OK (3 words, 1 lines)"

chmod 000 "$work/class/locked"
locked_expected="$work/class/anna/pocket.nc: OK (3 words, 1 lines)
$work/class/ben/pocket.nc: Syntax error in line: 2
$work/class/locked: Can't open folder.
3 files: 1 loaded, 2 failed"
if [ "$(id -u)" -ne 0 ]; then
    output=$("$cli" check "$work/class")
    expect "check with a folder that cannot be read" 1 $? "$output" "$locked_expected"
elif setpriv --reuid=nobody --regid=nogroup --clear-groups true 2>/dev/null &&
    setpriv --reuid=nobody --regid=nogroup --clear-groups test -x "$cli"; then
    output=$(setpriv --reuid=nobody --regid=nogroup --clear-groups "$cli" check "$work/class")
    expect "check with a folder that cannot be read (as nobody)" 1 $? "$output" "$locked_expected"
else
    echo "note: no way to run as another user; the unreadable folder is not tried"
fi
chmod 755 "$work/class/locked"

printf 'N10 G02 X12.5\r\nX\r\n' >"$work/bad.nc"
output=$("$cli" explain "$work/bad.nc")
expect "explain a program with a mistake" 1 $? "$output" "N10: Satznummer 10
G02: Kreisbogen im Uhrzeigersinn
X12.5: Ziel X = 12.5
Satzende: der Satz wird ausgeführt
Syntax error in line: 2"

output=$("$cli" explain "$program" | grep -c '^Satzende: der Satz wird ausgeführt$')
[ "$output" -gt 0 ] || { echo "FAIL explain $program: no end-of-block line in UTF-8"; failures=$((failures + 1)); }
"$cli" explain "$program" >/dev/null
expect "explain a good program" 0 $? "" ""

for args in "explain" "explain $program $program" "check"; do
    # shellcheck disable=SC2086
    "$cli" $args >/dev/null 2>"$work/err"
    expect "$args" 2 $? "$(head -c 6 "$work/err")" "usage:"
done
echo "$failures failures"
[ $failures -eq 0 ]
