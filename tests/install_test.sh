#!/usr/bin/env bash
# Installs the build into a scratch DESTDIR, as a packager does, and checks what
# a desktop and a user find there: both commands run from the installed
# place, the desktop entry and the AppStream data pass their validators, the
# MIME package makes CNC program files the type the entry opens, and nothing
# of the machine's own caches is written into the staging folder.
# Usage: install_test.sh BUILD_DIR UI_BUILT(0|1) VERSION
set -euo pipefail
build=$1
uiBuilt=$2
version=$3

if [ "$uiBuilt" != 1 ]; then
    echo "install_test: skipped: the build has no panel (TORNAVEL_BUILD_UI=OFF), so no desktop files to check"
    exit 0
fi

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

for tool in desktop-file-validate appstreamcli update-mime-database; do
    command -v "$tool" >/dev/null || { echo "install_test: $tool is missing; tools/install-deps installs it" >&2; exit 1; }
done

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
DESTDIR=$scratch/stage cmake --install "$build" >"$scratch/install.log" 2>&1 ||
    { cat "$scratch/install.log" >&2; echo "FAIL: cmake --install" >&2; exit 1; }

binary=$(find "$scratch/stage" -type f -path '*/bin/tornavel' | head -n 1)
[ -n "$binary" ] || { echo "FAIL: no bin/tornavel installed" >&2; exit 1; }
root=$(dirname "$(dirname "$binary")")
share=$root/share

for file in bin/tornavel bin/tornavel-cli share/applications/tornavel.desktop share/mime/packages/tornavel.xml \
    share/man/man1/tornavel.1 share/man/man1/tornavel-cli.1 share/doc/tornavel/examples/milling_pocket.nc \
    share/doc/tornavel/LiberationMono-LICENSE; do
    [ -s "$root/$file" ] || fail "$file is not installed"
done
for file in bin/tornavel bin/tornavel-cli; do
    [ -x "$root/$file" ] || fail "$file is not executable"
done

# Each icon where the theme looks for it, with the size its folder promises.
for size in 16 32 48 64 128 256; do
    icon=$share/icons/hicolor/${size}x${size}/apps/tornavel.png
    if [ ! -s "$icon" ]; then
        fail "no ${size}x${size} icon"
        continue
    fi
    read -r -a header < <(od -An -tu1 -v -w24 -N24 "$icon")
    width=$(( (header[16] << 24) + (header[17] << 16) + (header[18] << 8) + header[19] ))
    height=$(( (header[20] << 24) + (header[21] << 16) + (header[22] << 8) + header[23] ))
    [ "${header[1]}${header[2]}${header[3]}" = 807871 ] || fail "$icon is not a PNG"
    [ "$width" = "$size" ] && [ "$height" = "$size" ] || fail "$icon is ${width}x${height}, not ${size}x${size}"
done

# The caches are the target system's: none may land in the staging folder.
for cache in mime/mime.cache mime/globs2 icons/hicolor/icon-theme.cache applications/mimeinfo.cache; do
    [ ! -e "$share/$cache" ] || fail "$cache was written into DESTDIR"
done

# Both commands run from the installed place; the panel answers --version
# without a display.
printed=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/bin/tornavel" --version) ||
    fail "tornavel --version failed"
[ "$printed" = "tornavel $version" ] || fail "tornavel --version printed '$printed', not 'tornavel $version'"
example=$share/doc/tornavel/examples/milling_pocket.nc
checked=$("$root/bin/tornavel-cli" check "$example") || fail "tornavel-cli check on the installed example failed"
[[ $checked == "$example: OK ("* ]] || fail "tornavel-cli check printed '$checked'"

# The desktop entry and the AppStream data, by their own validators.
entry=$share/applications/tornavel.desktop
desktop-file-validate "$entry" || fail "desktop-file-validate"
metainfo=$(find "$share/metainfo" -name '*.metainfo.xml' | head -n 1)
if [ -z "$metainfo" ]; then
    fail "no AppStream metainfo file"
else
    appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate"
    grep -q '<launchable type="desktop-id">tornavel.desktop</launchable>' "$metainfo" ||
        fail "the metainfo does not launch tornavel.desktop"
    grep -q '<screenshot type="default">' "$metainfo" || fail "the metainfo has no screenshot"
fi
grep -qx 'Exec=tornavel %f' "$entry" || fail "the entry does not start 'tornavel %f'"
grep -qx 'Icon=tornavel' "$entry" || fail "the entry's icon is not tornavel"
grep -qx 'Categories=Education;Engineering;' "$entry" || fail "the entry's categories are not Education and Engineering"
grep -q '^Comment\[de\]=' "$entry" || fail "the entry has no German comment"
type=$(sed -n 's/^MimeType=\([^;]*\);$/\1/p' "$entry")
[ -n "$type" ] || fail "the entry names no single MIME type"
[ -z "$metainfo" ] || grep -q "<mediatype>$type</mediatype>" "$metainfo" || fail "the metainfo does not provide $type"

# The MIME package among the system's own, as a desktop reads them: every
# CNC file name ending maps to the entry's type, also where another type
# claims the same ending (netCDF's *.nc).
mimeRoot=$scratch/mimedb
mkdir -p "$mimeRoot/mime/packages"
cp "$share/mime/packages/tornavel.xml" "$mimeRoot/mime/packages/"
if [ -f /usr/share/mime/packages/freedesktop.org.xml ]; then
    cp /usr/share/mime/packages/freedesktop.org.xml "$mimeRoot/mime/packages/"
fi
update-mime-database "$mimeRoot/mime" 2>/dev/null || fail "update-mime-database rejects the package"
grep -qx "$type text/plain" "$mimeRoot/mime/subclasses" || fail "$type is not a sub-class of text/plain"

# The type a name gets from globs2: the highest weight wins; a tie between
# two types is no answer.
TypeOfName() {
    local name=${1,,} best=-1 found="" weight mimeType pattern
    while IFS=: read -r weight mimeType pattern _; do
        [[ $weight == \#* ]] && continue
        # shellcheck disable=SC2053
        [[ $name == $pattern ]] || continue
        if [ "$weight" -gt "$best" ]; then
            best=$weight
            found=$mimeType
        elif [ "$weight" -eq "$best" ] && [ "$mimeType" != "$found" ]; then
            found="(tie: $found, $mimeType)"
        fi
    done <"$mimeRoot/mime/globs2"
    echo "${found:-(none)}"
}
for name in part.nc PART.NC part.ngc part.tap part.cnc part.gcode part.gc part.mpf PART.SPF; do
    got=$(TypeOfName "$name")
    [ "$got" = "$type" ] || fail "$name is $got, not $type"
done
[ "$(TypeOfName part.txt)" = text/plain ] || fail "the package changed what part.txt is"

# GLib reads the same database as the desktop does.
if command -v gio >/dev/null; then
    printf 'N10 G0 X1 Y2\r\nN20 M30\r\n' >"$scratch/part.nc"
    got=$(XDG_DATA_DIRS=$mimeRoot XDG_DATA_HOME=$scratch/no-home gio info -a standard::content-type \
        "$scratch/part.nc" | sed -n 's/^ *standard::content-type: //p')
    [ "$got" = "$type" ] || fail "gio sees part.nc as '$got', not $type"
else
    echo "install_test: gio is missing: the check through GLib is left out"
fi

if [ "$failures" -gt 0 ]; then
    echo "install_test: $failures failures" >&2
    exit 1
fi
echo "install_test: passed ($root, type $type)"
