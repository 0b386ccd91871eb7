#!/usr/bin/env bash
# Packs the build tree with CPack and runs scripts/check-package on the .deb.
# Usage: package_test.sh BUILD_DIR SOURCE_DIR KESTREL_BUILT(0|1) GUI_OPTION(ON|OFF)
set -euo pipefail
build=$1 source=$2 kestrel_built=$3 gui_option=$4
out="$build/package-test"
rm -rf "$out"
mkdir -p "$out"
if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1; then
    cat "$out/cpack.log"
    exit 1
fi
debs=("$out"/kestrel_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "FAIL: cpack made no single .deb"; exit 1; }
if [ "$gui_option" != ON ]; then
    gui=--cli-only
elif [ "$kestrel_built" = 1 ]; then
    gui=--gui
else
    gui=--no-gui
fi
exec "$source/scripts/check-package" "$gui" "${debs[0]}"
