#!/usr/bin/env bash
# Installs the build tree into a temporary prefix and checks that every file
# lands where the desktop, the manual reader and the dialog's F1 look for it.
# Usage: install_test.sh BUILD_DIR SOURCE_DIR VERSION KESTREL_BUILT(0|1) GUI_OPTION(ON|OFF)
set -euo pipefail
build=$1 source=$2 version=$3 kestrel_built=$4 gui_option=$5
app=io.github.kestrel_uo.Kestrel

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect_file() { [ -f "$prefix/$1" ] || fail "$1 is not installed"; }

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >"$prefix.log" 2>&1 || {
    cat "$prefix.log"; rm -f "$prefix.log"; exit 1; }
rm -f "$prefix.log"

# The programs.
[ -x "$prefix/bin/kestrel-cli" ] || fail "bin/kestrel-cli is not installed"
answer=$("$prefix/bin/kestrel-cli" --version) || fail "installed kestrel-cli --version failed"
[ "$answer" = "kestrel-cli $version" ] || fail "kestrel-cli --version says '$answer'"
if [ "$kestrel_built" = 1 ]; then
    [ -x "$prefix/bin/Kestrel" ] || fail "bin/Kestrel is not installed"
fi

# The manuals; the guide where F1 finds it from the program's directory.
expect_file share/man/man1/kestrel-cli.1
guide="$prefix/bin/../share/doc/kestrel/help_index.html"
if [ -f "$guide" ]; then
    cmp -s "$guide" "$source/docs/help_index.html" || fail "installed guide differs from docs/"
    grep -q 'id="main-dialog"' "$guide" || fail "guide has no main-dialog anchor"
    grep -q 'id="about-box"' "$guide" || fail "guide has no about-box anchor"
else
    fail "share/doc/kestrel/help_index.html is not installed"
fi

# The screenshots the guide shows lie beside it.
for picture in kestrel-dialog.png about-dialog.png; do
    grep -q "src=\"$picture\"" "$source/docs/help_index.html" || fail "the guide does not show $picture"
    cmp -s "$prefix/share/doc/kestrel/$picture" "$source/docs/$picture" ||
        fail "share/doc/kestrel/$picture is not installed beside the guide"
done

# The build tree mirrors the installed tree for the guide.
cmp -s "$build/bin/../share/doc/kestrel/help_index.html" "$source/docs/help_index.html" ||
    fail "build tree has no current copy of the guide in share/doc/kestrel"
for picture in kestrel-dialog.png about-dialog.png; do
    cmp -s "$build/share/doc/kestrel/$picture" "$source/docs/$picture" ||
        fail "build tree has no current copy of $picture in share/doc/kestrel"
done

# Desktop integration, with the names pointing at each other.
if [ "$gui_option" = ON ]; then
    desktop="share/applications/$app.desktop"
    metainfo="share/metainfo/$app.metainfo.xml"
    expect_file "$desktop"
    expect_file "$metainfo"
    for size in 16 32 48; do
        icon="share/icons/hicolor/${size}x${size}/apps/$app.png"
        expect_file "$icon"
        if [ -f "$prefix/$icon" ]; then
            file "$prefix/$icon" | grep -q "PNG image data, $size x $size" ||
                fail "$icon is not a $size x $size PNG"
        fi
    done
    expect_file "share/icons/hicolor/scalable/apps/$app.svg"
    if [ -f "$prefix/$desktop" ]; then
        grep -qx "Icon=$app" "$prefix/$desktop" || fail "desktop entry names another icon"
        grep -qx "Exec=Kestrel" "$prefix/$desktop" || fail "desktop entry runs another program"
    fi
    if [ -f "$prefix/$metainfo" ]; then
        grep -q "<release version=\"$version\"" "$prefix/$metainfo" ||
            fail "metainfo does not carry version $version"
        grep -q "<summary>Copy map and/or static items (for UltimaOnline)</summary>" \
            "$prefix/$metainfo" || fail "metainfo summary is not the program's description"
        grep -q "<launchable type=\"desktop-id\">$app.desktop</launchable>" "$prefix/$metainfo" ||
            fail "metainfo launches another desktop entry"
    fi
else
    [ ! -e "$prefix/share/applications/$app.desktop" ] ||
        fail "a build without the dialog installs its desktop entry"
fi

if [ "$failures" -gt 0 ]; then
    echo "$failures failure(s); installed tree:"
    (cd "$prefix" && find . -type f | sort)
    exit 1
fi
echo "install: every file in place under $prefix"
