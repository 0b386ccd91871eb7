#!/bin/sh
# Usage: run_if_installed.sh PROGRAM PACKAGE COMMAND [ARGUMENT...]
# Runs COMMAND when PROGRAM is installed. Without it the check cannot be made:
# says why and exits with 77, which CTest reports as skipped.
program=$1
package=$2
shift 2
if ! command -v "$program" >/dev/null 2>&1; then
    echo "Skipped: $program is not installed (Debian package $package, which scripts/install-deps installs)."
    exit 77
fi
exec "$@"
