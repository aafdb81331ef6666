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

# Bad usage: one line that names the option and its value, never the whole
# usage. One row each: arguments | exit status | standard error.
while IFS='|' read -r args wanted message; do
    # shellcheck disable=SC2086
    "$cli" $args >/dev/null 2>"$work/err"
    expect "$args" "$wanted" $? "$(cat "$work/err")" "$message"
done <<ROWS
explain|2|tornavel-cli: explain: keine Datei angegeben
explain $program $program|2|tornavel-cli: explain: nur eine Datei, nicht auch '$program'
check|2|tornavel-cli: check: keine Datei angegeben
hints|2|tornavel-cli: hints: keine Datei angegeben
frobnicate $program|2|tornavel-cli: 'frobnicate' ist kein Befehl (tornavel-cli --help zeigt alle Befehle)
path --cut-corners $program|2|tornavel-cli: '--cut-corners' ist keine Option von path
trace --script nq $program|2|tornavel-cli: --script: 'nq' hat Buchstaben, die kein Befehl sind (n N r R a x l b 0 1 2 3)
stock --cell abc $program|2|tornavel-cli: --cell: 'abc' ist keine Zahl
stock --cell 0x10 $program|2|tornavel-cli: --cell: '0x10' ist keine Zahl
stock --stock 0,0,-1,10,10 $program|2|tornavel-cli: --stock: '0,0,-1,10,10' sind nicht sechs Zahlen X0,Y0,Z0,X1,Y1,Z1
stock --tool 1=cone:3 $program|2|tornavel-cli: --tool: '1=cone:3' ist kein Werkzeug T=flat:D oder T=ball:D
stock --default-tool flat:6,5 $program|2|tornavel-cli: --default-tool: 'flat:6,5' ist kein Werkzeug flat:D oder ball:D
stock --moves -1 $program|2|tornavel-cli: --moves: '-1' ist keine Anzahl (0, 1, 2, ...)
stock --moves 2 --trail 1,2 $program|2|tornavel-cli: --trail: '1,2' geht nicht zusammen mit --moves oder --trail
stock --cell 1 --cell 2 $program|2|tornavel-cli: --cell: '2' ist schon das zweite Mal angegeben
stock --depth 3 $program|2|tornavel-cli: '--depth' ist keine Option von stock
stock --cell|2|tornavel-cli: --cell: der Wert fehlt
stock $program $program|2|tornavel-cli: stock: nur eine Datei, nicht auch '$program'
stock --tool 1=flat:0 $program|1|tornavel-cli: a tool diameter must be positive
picture --view top $program $work/p.png|2|tornavel-cli: --view: 'top' ist keine Ansicht (oben, vorne, seite, iso)
picture --size abc $program $work/p.png|2|tornavel-cli: --size: 'abc' ist keine Größe BREITExHÖHE von 16 bis 8000 Pixeln
picture $program|2|tornavel-cli: picture: FILE und OUT.png erwartet
picture $work/missing.nc $work/p.png|1|tornavel-cli: $work/missing.nc: Can't open file.
ROWS

# Help and version on standard output with exit status 0.
output=$("$cli" --help 2>/dev/null | head -n 1)
expect "--help" 0 "${PIPESTATUS[0]}" "$output" "usage: tornavel-cli check FILE|FOLDER..."
output=$("$cli" --version 2>/dev/null)
expect "--version" 0 $? "${output%% *}" "tornavel-cli"

# A file that cannot be opened: its load record only, the message, exit 1.
for command in path stock "stock --summary"; do
    # shellcheck disable=SC2086
    output=$("$cli" $command "$work/missing.nc" 2>"$work/err")
    status=$?
    expect "$command on a missing file" 1 $status "$(cat "$work/err")" "tornavel-cli: $work/missing.nc: Can't open file."
    case "$command" in
    "stock --summary") wanted="" ;;
    *) wanted='{"event":"load","result":-2,"error":"Can'"'"'t open file.","wordCount":0,"lineCount":0}' ;;
    esac
    [ "$output" = "$wanted" ] || { echo "FAIL $command on a missing file printed: $(printf '%q' "${output:0:200}")"; failures=$((failures + 1)); }
done

echo "$failures failures"
[ $failures -eq 0 ]
