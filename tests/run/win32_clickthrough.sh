#!/usr/bin/env bash
# Quelvo.exe under Wine on a virtual X display, clicked through as a user
# would with xdotool: Start Scan, the report, Fix Now, two ticks, Download,
# Back. Checks the window (one, titled "Quelvo", 740 x 530, corners not
# shown), the registry after the repair, the ticks on screen, and the lookup
# address handed to the desktop's browser: the program's own lookup service
# on 127.0.0.1, fetched with curl while the program runs.
#   tests/run/win32_clickthrough.sh <Quelvo.exe> [<folder for screenshots>]
# Needs a display (run it under xvfb-run), wine, xdotool, ImageMagick, curl
# and python3 with Pillow.
set -euo pipefail

exe="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
here="$(cd "$(dirname "$0")/../.." && pwd)"
work="$(mktemp -d)"
shots="${2:-$work/shots}"
mkdir -p "$shots"
export WINEPREFIX="$work/pfx" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "win32_clickthrough: $*" >&2
  exit 1
}

# The sandbox prefix's associations, and nothing of Wine's own, so that the
# report's rows stand where this script expects them.
"$here/scripts/make-sandbox-prefix" "$WINEPREFIX"
ours=' .docx .psd .mkv .mp3 .zip .md .log '
{
  printf 'Windows Registry Editor Version 5.00\r\n\r\n'
  wine reg query 'HKLM\Software\Classes' 2>/dev/null | tr -d '\r' |
    sed -n 's/^HKEY_LOCAL_MACHINE\\Software\\Classes\\\(\..*\)$/\1/p' |
    while read -r ext; do
      [[ $ours == *" $ext "* ]] || printf '[-HKEY_LOCAL_MACHINE\\Software\\Classes\\%s]\r\n\r\n' "$ext"
    done
} >"$work/others.reg"
wine regedit /S "$(winepath -w "$work/others.reg")" >/dev/null 2>&1
cp /usr/share/wine/fonts/tahoma.ttf /usr/share/wine/fonts/tahomabd.ttf "$WINEPREFIX/drive_c/windows/Fonts/"

# The desktop's browser is a script that notes the address it is given.
cat >"$work/browser.sh" <<EOF
#!/bin/sh
printf '%s\n' "\$1" >>"$work/opened.txt"
EOF
chmod +x "$work/browser.sh"
wine reg add 'HKCU\Software\Wine\WineBrowser' /v Browsers /d "$work/browser.sh" /f >/dev/null 2>&1
wineserver -w

cd "$(dirname "$exe")"
wine "$exe" >"$work/quelvo.log" 2>&1 &
window=""
for _ in $(seq 1 60); do
  window="$(xdotool search --name '^Quelvo$' 2>/dev/null || true)"
  [[ -n $window ]] && break
  sleep 1
done
[[ -n $window ]] || fail "no window titled Quelvo"
[[ $(wc -w <<<"$window") -eq 1 ]] || fail "more than one window titled Quelvo: $window"
sleep 2
eval "$(xdotool getwindowgeometry --shell "$window")"
[[ $WIDTH -eq 740 && $HEIGHT -eq 530 ]] || fail "window is ${WIDTH}x${HEIGHT}, not 740x530"
left=$X top=$Y

shot() {
  sleep "${2:-1.5}"
  import -window root "$shots/$1.png"
}
# The colour of a pixel of the last screenshot, window coordinates.
pixel() {
  /usr/bin/python3 -c 'import sys
from PIL import Image
im = Image.open(sys.argv[1]).convert("RGB")
print("%d,%d,%d" % im.getpixel((int(sys.argv[2]), int(sys.argv[3]))))' "$shots/$1.png" $((left + $2)) $((top + $3))
}
click() {
  xdotool mousemove $((left + $1)) $((top + $2)) click 1
}

shot 1-start
[[ $(pixel 1-start 0 0) != 166,202,240 ]] || fail "the key colour shows in the top-left corner"
[[ $(pixel 1-start 739 529) != 166,202,240 ]] || fail "the key colour shows in the bottom-right corner"
[[ $(pixel 1-start 370 265) != 0,0,0 ]] || fail "the window is not drawn"

# Page area at (165, 59); Start Scan at (175, 384) in it, 234 x 56.
click $((165 + 175 + 117)) $((59 + 384 + 28))
shot 2-report 4
# The list at (10, 108) of the page; rows of 32 px; the report's first
# problem row (.docx, under its group) is drawn with the red problem picture.
wine reg query 'HKLM\Software\Classes\.docx' >/dev/null 2>&1 || fail "the scan changed the registry"

# Fix Now at (307, 400), 234 x 56.
click $((165 + 307 + 117)) $((59 + 400 + 28))
shot 3-after-repair
for ext in .docx .psd .mkv; do
  ! wine reg query "HKLM\\Software\\Classes\\$ext" >/dev/null 2>&1 || fail "$ext was not removed"
done
for ext in .mp3 .zip .md .log; do
  wine reg query "HKLM\\Software\\Classes\\$ext" >/dev/null 2>&1 || fail "$ext was removed"
done

# After the repair: header, Audio, .mp3, Archives, .zip... The check box of
# a row lies 56..84 px right of the item's left and 1..29 px below its top.
list_x=$((165 + 10)) list_y=$((59 + 108))
box_mp3_y=$((list_y + 2 * 32 + 15)) box_zip_y=$((list_y + 4 * 32 + 15))
box_x=$((list_x + 71))
before_mp3="$(pixel 3-after-repair $box_x $box_mp3_y)"
click $box_x $box_mp3_y
click $box_x $box_zip_y
shot 4-ticked
[[ $(pixel 4-ticked $box_x $box_mp3_y) != "$before_mp3" ]] || fail "the .mp3 box did not tick"
[[ $(pixel 4-ticked $box_x $box_zip_y) != "$before_mp3" ]] || fail "the .zip box did not tick"

# Download, where Fix Now was.
click $((165 + 307 + 117)) $((59 + 400 + 28))
shot 5-lookup 4
[[ -f $work/opened.txt ]] || fail "Download opened no address"
# The lookup service inside Quelvo.exe, on the loopback address: it answers
# for as long as the program runs, with the page naming VLC for .mp3.
address="$(grep -m1 -E '^http://127\.0\.0\.1:[0-9]+/ext/file_ext\.php\?ext\[\]=mp3&ext\[\]=zip$' "$work/opened.txt" || true)"
[[ -n $address ]] || fail "Download opened $(cat "$work/opened.txt"), not the program's own lookup service"
curl -sSf -g --max-time 20 -o "$work/page.html" "$address" || fail "$address did not answer while Quelvo runs"
mp3_section="$(sed -n '/<h2>\.mp3<\/h2>/,/<\/section>/p' "$work/page.html")"
grep -q 'VLC media player' <<<"$mp3_section" || fail "the page at $address names no VLC for .mp3"

# Back at (447, 424), 109 x 30.
click $((165 + 447 + 54)) $((59 + 424 + 15))
shot 6-back
[[ $(pixel 6-back $box_x $box_mp3_y) == "$(pixel 4-ticked $box_x $box_mp3_y)" ]] ||
  fail "Back did not return to the ticked report"

# Close.
click 719 10
for _ in $(seq 1 20); do
  xdotool search --name '^Quelvo$' >/dev/null 2>&1 || break
  sleep 0.5
done
! xdotool search --name '^Quelvo$' >/dev/null 2>&1 || fail "Close left the window open"
echo "win32_clickthrough: passed"
