#!/usr/bin/env bash
# path --cut against an independent computation of compensation and drilling
# cycles on generated programs (fixed seed), and path --cut equal to path on
# every given program that uses none of those words.
# Usage: cli_cut_reference.sh CLI FOLDER...
set -u
cli=$1
shift
here=$(cd "$(dirname "$0")" && pwd)
status=0
# Tools come from --tool, --default-tool and (WERKZEUG ...) comments.
python3 "$here/cut_reference.py" "$cli" --seed 7 --count 100 || status=1
files=()
for folder in "$@"; do
    for f in "$folder"/*; do
        [ -f "$f" ] && files+=("$f")
    done
done
if [ ${#files[@]} -gt 0 ]; then
    python3 "$here/cut_reference.py" "$cli" --same-as-path "${files[@]}" || status=1
fi
exit $status
