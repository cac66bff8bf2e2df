#!/usr/bin/env bash
# The Linux program on an X display, clicked through as a user would with
# xdotool: Start Scan, Fix Now, a tick, Download, then a click on an
# application's home page on the lookup page. The home page must open in the
# desktop's browser (a stand-in script that notes who ran it and with what),
# as the desktop user when the program runs as root for one (SUDO_UID), and
# the lookup page must stay in the window.
#   tests/run/qt_clickthrough.sh <quelvo executable> [<folder for screenshots>]
# Runs on a virtual X display of its own, so that no other window comes
# between the clicks and the program. Needs xvfb-run, xdotool, ImageMagick
# and python3 with Pillow.
set -euo pipefail
if [[ -z ${QUELVO_CLICKTHROUGH_DISPLAY:-} ]]; then
  exec env QUELVO_CLICKTHROUGH_DISPLAY=1 xvfb-run -a -s '-screen 0 1280x800x24' "$0" "$@"
fi

quelvo="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
work="$(mktemp -d)"
shots="${2:-$work/shots}"
mkdir -p "$shots"
pid=""
cleanup() {
  [[ -n $pid ]] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "qt_clickthrough: $*" >&2
  [[ -f $work/quelvo.log ]] && sed 's/^/  quelvo: /' "$work/quelvo.log" | tail -20 >&2
  exit 1
}

# A Wine prefix with one broken association and two that need an application.
prefix="$work/prefix"
mkdir -p "$prefix/drive_c/windows" "$prefix/dosdevices"
ln -s ../drive_c "$prefix/dosdevices/c:"
cat >"$prefix/system.reg" <<'EOF'
WINE REGISTRY Version 2
;; All keys relative to \\Machine

#arch=win64

[Software\\Classes\\.docx] 1
@=""

[Software\\Classes\\.mp3] 1
@="mp3file"

[Software\\Classes\\.zip] 1
@="zipfile"

[Software\\Classes\\mp3file\\shell\\open\\command] 1
@="\"C:\\Program Files\\Missing App\\app.exe\" \"%1\""

[Software\\Classes\\zipfile\\shell\\open\\command] 1
@="\"C:\\Program Files\\Missing App\\app.exe\" \"%1\""
EOF

# The desktop's browser. As root the program opens it as the desktop user
# it acts for; that user must be able to reach the script and its notes.
chmod 755 "$work"
chmod 777 "$shots" 2>/dev/null || true
cat >"$work/browser.sh" <<EOF
#!/bin/sh
printf '%s %s\n' "\$(id -u)" "\$1" >>"$work/notes/opened.txt"
EOF
chmod 755 "$work/browser.sh"
mkdir -m 777 "$work/notes" "$work/xdg-data" "$work/xdg-config"
expected_uid="$(id -u)"
as_user=()
if [[ $(id -u) -eq 0 ]]; then
  expected_uid=65534
  as_user=(SUDO_UID=65534 SUDO_GID=65534 SUDO_USER=nobody)
fi

# No other handler of the machine answers; the backups go to a folder of the
# run's own.
env "${as_user[@]}" QUELVO_TARGET="$prefix" XDG_DATA_HOME="$work/data" BROWSER="$work/browser.sh" \
  XDG_DATA_DIRS="$work/xdg-data" XDG_CONFIG_DIRS="$work/xdg-config" XDG_CURRENT_DESKTOP= DESKTOP_SESSION= \
  QUELVO_LOOKUP_HOST= QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu QT_QPA_PLATFORM=xcb \
  "$quelvo" >"$work/quelvo.log" 2>&1 &
pid=$!
window=""
for _ in $(seq 1 60); do
  window="$(xdotool search --onlyvisible --name '^Quelvo$' 2>/dev/null || true)"
  [[ -n $window ]] && break
  kill -0 "$pid" 2>/dev/null || fail "the program ended"
  sleep 1
done
[[ -n $window ]] || fail "no window titled Quelvo"
[[ $(wc -w <<<"$window") -eq 1 ]] || fail "more than one window titled Quelvo: $window"
sleep 2
eval "$(xdotool getwindowgeometry --shell "$window")"
left=$X top=$Y

shot() {
  sleep "${2:-1.5}"
  import -window root "$shots/$1.png"
}
click() {
  xdotool mousemove $((left + $1)) $((top + $2)) click 1
}
# The browser's rectangle in a screenshot: the page area at (165, 59), the
# browser at (8, 11) in it, 548 x 401.
browser_box="$((left + 173)) $((top + 70)) $((left + 721)) $((top + 471))"
# The first pixel, from the top, in the colour of the lookup page's links.
find_link() {
  /usr/bin/python3 - "$shots/$1.png" $browser_box <<'EOF'
import sys
from PIL import Image
im = Image.open(sys.argv[1]).convert("RGB")
x0, y0, x1, y1 = map(int, sys.argv[2:6])
for y in range(y0, y1):
    for x in range(x0, x1):
        r, g, b = im.getpixel((x, y))
        if abs(r - 11) < 8 and abs(g - 79) < 8 and abs(b - 163) < 8:
            print(x, y)
            sys.exit(0)
EOF
}
# How many pixels of the browser's rectangle differ between two screenshots.
changed() {
  /usr/bin/python3 - "$shots/$1.png" "$shots/$2.png" $browser_box <<'EOF'
import sys
from PIL import Image, ImageChops
a = Image.open(sys.argv[1]).convert("RGB")
b = Image.open(sys.argv[2]).convert("RGB")
box = tuple(map(int, sys.argv[3:7]))
diff = ImageChops.difference(a.crop(box), b.crop(box)).convert("L")
print(sum(1 for v in diff.getdata() if v > 0))
EOF
}

# Start Scan, Fix Now (the page area at 165, 59; both buttons 234 x 56).
click $((165 + 175 + 117)) $((59 + 384 + 28))
shot 1-report 4
click $((165 + 307 + 117)) $((59 + 400 + 28))
shot 2-after-repair
! grep -q 'Classes\\\\.docx\]' "$prefix/system.reg" || fail ".docx was not removed"
# After the repair: header, Audio, .mp3: its check box 71 px in, 15 px down.
click $((165 + 10 + 71)) $((59 + 108 + 2 * 32 + 15))
sleep 1
# Download, where Fix Now was.
click $((165 + 307 + 117)) $((59 + 400 + 28))

link=""
for i in $(seq 1 45); do
  shot "3-lookup" 2
  link="$(find_link 3-lookup)"
  [[ -n $link ]] && break
done
[[ -n $link ]] || fail "the lookup page shows no link"
sleep 2
shot 4-before-click 0
read -r link_x link_y <<<"$link"
xdotool mousemove "$link_x" "$link_y" click 1
for _ in $(seq 1 30); do
  [[ -s $work/notes/opened.txt ]] && break
  sleep 1
done
[[ -s $work/notes/opened.txt ]] || fail "the click opened nothing in the desktop's browser"
shot 5-after-click 3
opened="$(cat "$work/notes/opened.txt")"
[[ $(wc -l <<<"$opened") -eq 1 ]] || fail "the desktop's browser was started more than once: $opened"
[[ $opened =~ ^$expected_uid\ https://[^/\ ]+/ ]] ||
  fail "expected the home page opened by uid $expected_uid, got: $opened"
[[ $(xdotool search --onlyvisible --name '^Quelvo$' | wc -l) -eq 1 ]] || fail "a message box came up"
# The page stays: at most a few pixels differ (none are expected).
difference="$(changed 4-before-click 5-after-click)"
[[ $difference -lt 200 ]] || fail "the lookup page changed after the click ($difference pixels)"

# Close.
click 719 10
for _ in $(seq 1 20); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.5
done
echo "qt_clickthrough: passed ($opened)"
