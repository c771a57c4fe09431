#!/usr/bin/env bash
# Writes the pictures of docs/images anew from a real run under Wine: the checks that take screenshots run
# as they do in tests/wine/run.sh, and each screenshot replaces its picture instead of being compared with
# it. Run it when a change is meant to change what a person sees, look at the pictures, and commit them.
#
#   bash tests/wine/refresh_images.sh [BIN_DIR]   (default build/windows/bin)
#
# Only a check that passes writes its pictures. Exit status non-zero when a check failed.
set -uo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
LOG_NAME=korun04-refresh
source "$ROOT/tests/wine/lib.sh"
wine_bin_dir refresh "${1:-}" || exit 1

use_japanese_locale
wine_boot_prefix
status=0
for script in ui_check.sh removal_check.sh; do
    KORUN_WINE_REFRESH_SHOTS=1 bash "$ROOT/tests/wine/$script" "$BIN_DIR" || status=1
done
git -C "$ROOT" status --short -- docs/images
exit $status
