#!/usr/bin/env bash
# Runs tornavel-cli over every program in the given folders: check, trace
# with several scripts, explain, path and stock, then check of each whole
# folder.
# Fails on a crash, a hang, a trace that does not end with its command
# records, a path that does not end with its path record, a path --table
# that differs from path (the window's table must hold the exact path), a
# path --cut that differs from path in a program without a word of cutter
# compensation or drilling cycles, or does not end with its path record, a
# folder check that does not end with its count, a stock that does not
# end with a row, a picture that is not written, or hints and stock
# --summary that crash or hang.
# Usage: cli_corpus.sh CLI FOLDER...
set -u
cli=$1
shift
failures=0
files=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for folder in "$@"; do
    for file in "$folder"/*; do
        [ -f "$file" ] || continue
        files=$((files + 1))
        timeout 120 "$cli" check "$file" >/dev/null
        status=$?
        if [ $status -gt 1 ]; then
            echo "FAIL check $file: exit $status"
            failures=$((failures + 1))
        fi
        for script in N 3R 0R 1R 2R xa; do
            last=$(timeout 300 "$cli" trace --script "$script" "$file" | tail -n 1)
            status=${PIPESTATUS[0]}
            if [ $status -ne 0 ] || [ "${last#\{\"event\":\"command\"}" = "$last" ]; then
                echo "FAIL trace --script $script $file: exit $status"
                failures=$((failures + 1))
            fi
        done
        timeout 300 "$cli" explain "$file" >/dev/null
        status=$?
        if [ $status -gt 1 ]; then
            echo "FAIL explain $file: exit $status"
            failures=$((failures + 1))
        fi
        last=$(timeout 300 "$cli" path "$file" | tail -n 1)
        status=${PIPESTATUS[0]}
        if [ $status -ne 0 ] || [ "${last#\{\"event\":\"path\"}" = "$last" ]; then
            echo "FAIL path $file: exit $status"
            failures=$((failures + 1))
        fi
        # The window's move table holds the exact path.
        if ! cmp -s <(timeout 300 "$cli" path "$file") <(timeout 300 "$cli" path --table "$file"); then
            echo "FAIL path --table $file: differs from path"
            failures=$((failures + 1))
        fi
        # The cut path is the path unless the program compensates or drills.
        last=$(timeout 300 "$cli" path --cut "$file" | tail -n 1)
        status=${PIPESTATUS[0]}
        if [ $status -ne 0 ] || [ "${last#\{\"event\":\"path\"}" = "$last" ]; then
            echo "FAIL path --cut $file: exit $status"
            failures=$((failures + 1))
        elif ! grep -Eiq 'G0*(4[012]|73|8[0-35-69]|9[89])([^0-9]|$)' "$file" &&
            ! cmp -s <(timeout 300 "$cli" path "$file") <(timeout 300 "$cli" path --cut "$file"); then
            echo "FAIL path --cut $file: differs from path without the words"
            failures=$((failures + 1))
        fi
        for command in hints "explain --lines" "stock --summary"; do
            # shellcheck disable=SC2086
            timeout 300 "$cli" $command "$file" >/dev/null
            status=$?
            if [ $status -gt 1 ]; then
                echo "FAIL $command $file: exit $status"
                failures=$((failures + 1))
            fi
        done
        # The window's picture in every view: a PNG whenever the program opens.
        for view in oben vorne seite iso; do
            timeout 300 "$cli" picture --view "$view" --size 160x120 "$file" "$work/picture.png" 2>/dev/null
            status=$?
            if [ $status -ne 0 ] || [ "$(head -c 4 "$work/picture.png" | tail -c 3)" != PNG ]; then
                echo "FAIL picture --view $view $file: exit $status"
                failures=$((failures + 1))
            fi
            rm -f "$work/picture.png"
        done
        last=$(timeout 300 "$cli" stock "$file" | tail -n 1 | cut -c 1-20)
        status=${PIPESTATUS[0]}
        if [ $status -ne 0 ] || [ "${last#\{\"event\":\"row\"}" = "$last" ]; then
            echo "FAIL stock $file: exit $status"
            failures=$((failures + 1))
        fi
    done
done
# The whole folder at once: one line per file and the closing count.
for folder in "$@"; do
    last=$(timeout 600 "$cli" check "$folder" | tail -n 1)
    status=${PIPESTATUS[0]}
    if [ $status -gt 1 ] || ! [[ "$last" =~ ^[0-9]+\ files:\ [0-9]+\ loaded,\ [0-9]+\ failed$ ]]; then
        echo "FAIL check $folder: exit $status, last line '$last'"
        failures=$((failures + 1))
    fi
done
echo "$files files, $failures failures"
[ $files -gt 0 ] && [ $failures -eq 0 ]
