#!/usr/bin/env bash
# Every page of the window from both front ends, compared: the form suite's
# shouldPreviewEveryPage case saves the pages from the Qt build (on a virtual X
# display) and from the Win32 build (under Wine, with Tahoma in the prefix as
# on Windows), and compare_front_ends checks that no page differs by more
# than 2 % of its pixels and that every link ends where it ends on the other
# side.
#   tests/run/compare_front_ends.sh [<folder for the pictures>]
# Expects the Linux build in build/ and the Windows build in build-mingw/
# (BUILD_DIR and MINGW_BUILD_DIR name others). The pictures, with a picture
# of the differing pixels per page, stay in the folder given (default
# <Linux build>/front-end-pictures).
set -euo pipefail
cd "$(dirname "$0")/../.."

if [[ -z "${DISPLAY:-}" ]]; then
  exec xvfb-run -a -s '-screen 0 1280x800x24' "$0" "$@"
fi

linux="${BUILD_DIR:-build}"
windows="${MINGW_BUILD_DIR:-build-mingw}"
out="${1:-$linux/front-end-pictures}"
for f in "$linux/tests/app/test_form_qt" "$linux/tests/app/compare_front_ends" \
         "$windows/tests/app/test_form_win32.exe"; do
  [[ -x $f ]] || { echo "compare_front_ends: $f is not built" >&2; exit 1; }
done
rm -rf "$out"
mkdir -p "$out/qt" "$out/win32" "$out/diff"
out="$(cd "$out" && pwd)"

work="$(mktemp -d)"
export WINEPREFIX="$work/pfx" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

log="$work/log"
quietly() {
  if ! "$@" >"$log" 2>&1; then
    cat "$log" >&2
    echo "compare_front_ends: failed: $*" >&2
    exit 1
  fi
}

quietly env QT_QPA_PLATFORM=xcb QTWEBENGINE_DISABLE_SANDBOX=1 QUELVO_PREVIEW_DIR="$out/qt" \
  "$linux/tests/app/test_form_qt" --gtest_filter=FormTest.shouldPreviewEveryPage

# On a loaded machine a new prefix now and then fails to boot: a second try.
if ! wineboot -i >"$log" 2>&1; then
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX"
  quietly wineboot -i
fi
cp /usr/share/wine/fonts/tahoma.ttf /usr/share/wine/fonts/tahomabd.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
quietly wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
quietly env QUELVO_PREVIEW_DIR="$(winepath -w "$out/win32")" \
  wine "$windows/tests/app/test_form_win32.exe" --gtest_filter=FormTest.shouldPreviewEveryPage

"$linux/tests/app/compare_front_ends" "$out/qt" "$out/win32" --out "$out/diff"
