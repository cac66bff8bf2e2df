#!/usr/bin/env bash
# The program's first line on standard error names the machine it checks,
# and a target it cannot read leaves its files untouched.
#   startup_target.sh <quelvo executable>
set -euo pipefail
quelvo="$1"
work="$(mktemp -d)"
pid=""
cleanup() {
  [[ -n $pid ]] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/runtime" XDG_DATA_HOME="$work/data"
mkdir -m 700 "$work/runtime"
failures=0

# Starts the program on a target, waits for its line about the target (the
# window, or a message box over it, then keeps it running) and stops it.
first_line() {
  local err
  err="$(mktemp "$work/stderr.XXXXXX")"
  QUELVO_TARGET="$1" "$quelvo" 2>"$err" >/dev/null &
  pid=$!
  for _ in $(seq 300); do
    grep -q '^Quelvo: ' "$err" && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  pid=""
  grep -m1 '^Quelvo: ' "$err" || true
}

expect() {
  local name="$1" expected="$2" actual="$3"
  if [[ $actual != "$expected" ]]; then
    printf 'FAIL %s\n  expected: %s\n  actual:   %s\n' "$name" "$expected" "$actual" >&2
    failures=$((failures + 1))
  else
    printf 'ok   %s\n' "$name"
  fi
}

# A minimal Wine prefix.
prefix="$work/prefix"
mkdir -p "$prefix/drive_c/windows" "$prefix/dosdevices"
ln -s ../drive_c "$prefix/dosdevices/c:"
printf 'WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n#arch=win64\n\n[Software\\\\Classes\\\\.txt] 1\n@="txtfile"\n' \
  >"$prefix/system.reg"
expect shouldNameTheWinePrefixItChecks \
  "Quelvo: checking Wine prefix $prefix" "$(first_line "$prefix")"

missing="$work/no-such-prefix"
expect shouldFallBackToAnEmptyRegistryWhenTheTargetIsMissing \
  "Quelvo: checking an empty in-memory registry. No Windows registry to check at $missing (QUELVO_TARGET): the folder does not exist." \
  "$(first_line "$missing")"

# An unreadable registry: reported, and its file stays as it was.
broken="$work/broken"
mkdir -p "$broken"
printf 'not a registry\n[unterminated\n' >"$broken/system.reg"
cp "$broken/system.reg" "$work/broken.before"
line="$(first_line "$broken")"
expected_start="Quelvo: checking an empty in-memory registry. Cannot read the Wine prefix at $broken (QUELVO_TARGET): "
expect shouldSayItCannotReadAMalformedPrefix \
  "$expected_start" \
  "${line:0:${#expected_start}}"
if cmp -s "$broken/system.reg" "$work/broken.before" && [[ $(ls -A "$broken") == system.reg ]]; then
  echo "ok   shouldLeaveAnUnreadablePrefixUntouched"
else
  echo "FAIL shouldLeaveAnUnreadablePrefixUntouched" >&2
  failures=$((failures + 1))
fi

[[ $failures -eq 0 ]]
