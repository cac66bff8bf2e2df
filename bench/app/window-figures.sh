#!/usr/bin/env bash
# The window's figures from both front ends in one run, side by side: the Qt
# program on Linux (on a virtual X display) and the Win32 one under Wine.
# Beside the window's share of a scan stands a bare window's (window_floor:
# a plain label renamed through the toolkit's own blocking hand-over), the
# least any window costs the same steps on this machine; the share above it
# is what this window adds.
#   bench/app/window-figures.sh [extensions]
# Expects the Linux build in build/ and the Windows build in build-mingw/
# (scripts/test makes both); BUILD_DIR and MINGW_BUILD_DIR name others.
set -euo pipefail
cd "$(dirname "$0")/../.."
linux="${BUILD_DIR:-build}"
windows="${MINGW_BUILD_DIR:-build-mingw}"
count="${1:-500}"
cmake --build "$linux" --target window_figures window_floor quelvo >/dev/null
cmake --build "$windows" --target window_figures window_floor Quelvo >/dev/null
work="$(mktemp -d)"
trap 'WINEPREFIX="$work/pfx" wineserver -k >/dev/null 2>&1 || true; rm -rf "$work"' EXIT

export WINEPREFIX="$work/pfx" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Measured as shipped: stripped (Wine reads a PE image's debug sections into
# memory, 15 MiB of them here, where Linux leaves an ELF file's on the disk).
x86_64-w64-mingw32-strip -o "$work/window_figures.exe" "$windows/bench/app/window_figures.exe"
x86_64-w64-mingw32-strip -o "$work/window_floor.exe" "$windows/bench/app/window_floor.exe"
# The prefix as Windows has it (Tahoma in the fonts folder) and its
# wineserver kept running, as it is on a desktop that has run a Windows
# program before: the first window is the program's own start.
xvfb-run -a -s '-screen 0 1280x800x24' bash -c "
  wineboot -i >/dev/null 2>&1
  wine reg add 'HKCU\\Software\\Wine\\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  cp /usr/share/wine/fonts/tahoma.ttf /usr/share/wine/fonts/tahomabd.ttf '$work/pfx/drive_c/windows/Fonts/'
  wineserver -w
  QT_QPA_PLATFORM=xcb '$linux/bench/app/window_figures' $count > '$work/linux.txt' 2>/dev/null
  QT_QPA_PLATFORM=xcb '$linux/bench/app/window_floor' $count >> '$work/linux.txt' 2>/dev/null
  wineserver -p 60
  wine cmd /c exit >/dev/null 2>&1
  wine '$work/window_figures.exe' $count 2>/dev/null | tr -d '\\r' > '$work/windows.txt'
  wine '$work/window_floor.exe' $count 2>/dev/null | tr -d '\\r' >> '$work/windows.txt'
"
# What this window adds to a bare one's share.
for side in linux windows; do
  awk '{v[$1] = $2} END {if ("bare_window_share_ms_per_extension" in v)
    printf "window_share_above_bare_ms_per_extension %.3f\n",
      v["window_share_ms_per_extension"] - v["bare_window_share_ms_per_extension"]}' \
    "$work/$side.txt" >>"$work/$side.txt"
done
strip -o "$work/quelvo" "$linux/app/quelvo"
x86_64-w64-mingw32-strip -o "$work/Quelvo.exe" "$windows/app/Quelvo.exe"
size() { du -k "$@" | awk '{s += $1} END {printf "%.1f", s / 1024}'; }
echo "shipped_mib $(size "$work/quelvo" "$linux/app/FileType_lib.txt" "$linux/app/Help.chm") \
$(size "$work/Quelvo.exe" "$windows/app/FileType_lib.txt" "$windows/app/Help.chm")" >"$work/sizes.txt"
printf '%-40s %12s %12s %8s\n' figure "Qt, Linux" "Win32, Wine" ratio
join <(sort "$work/linux.txt") <(sort "$work/windows.txt") | cat - "$work/sizes.txt" |
  awk '{ r = ($2 > 0) ? $3 / $2 : 0; printf "%-40s %12s %12s %8.2f\n", $1, $2, $3, r }'
echo "(the Qt program uses Debian's Qt libraries, which the shipped size leaves out)"
