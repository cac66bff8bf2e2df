#!/usr/bin/env bash
# quelvo-scan's Windows suite and quelvo-scan.exe itself, under Wine, in a
# prefix of their own: a light copy of $WINEPREFIX (its registry files;
# its drives linked), so that one case may change the security of
# HKLM\Software\Classes without touching the suites that share the prefix.
# Every JSON report is then checked against the schema.
#   run_windows_suite.sh TEST.exe quelvo-scan.exe SCHEMA CHECKER
set -euo pipefail
test_exe="$1" scan_exe="$2" schema="$3" checker="$4"
: "${WINEPREFIX:?the prefix of scripts/test-windows}"
work="$(mktemp -d)"
copy="$work/pfx"
cleanup() {
  WINEPREFIX="$copy" wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

# Its registry as last saved: scripts/test-windows lets the server exit once
# after setting the prefix up.
for _ in $(seq 600); do
  [[ -f $WINEPREFIX/system.reg ]] && break
  sleep 0.1
done
[[ -f $WINEPREFIX/system.reg ]] || { echo "no system.reg in $WINEPREFIX" >&2; exit 1; }
mkdir -p "$copy/dosdevices" "$work/reports"
cp "$WINEPREFIX"/*.reg "$copy/"
[[ -f $WINEPREFIX/.update-timestamp ]] && cp "$WINEPREFIX/.update-timestamp" "$copy/"
for drive in "$WINEPREFIX"/dosdevices/*; do
  [[ -L $drive ]] && ln -s "$(readlink -f "$drive")" "$copy/dosdevices/$(basename "$drive")"
done
export WINEPREFIX="$copy"
reports_windows="Z:${work//\//\\}\\reports"

QUELVO_SCAN_REPORTS="$reports_windows" wine "$test_exe"

expect_status() {
  local want="$1" out="$2"
  shift 2
  local status=0
  wine "$scan_exe" "$@" >"$out" 2>"$work/err" || status=$?
  if [[ $status -ne $want ]]; then
    echo "quelvo-scan.exe $*: exit status $status, expected $want" >&2
    cat "$work/err" >&2
    exit 1
  fi
}
expect_status 0 "$work/version" --version
grep -q '^quelvo-scan [0-9.]*' "$work/version"
expect_status 2 "$work/bad" --frobnicate
[[ ! -s $work/bad ]]
expect_status 2 "$work/bad" --target /tmp
# A fresh prefix's associations: some of Wine's own need an application.
status=0
wine "$scan_exe" --format json >"$work/reports/program.json" 2>"$work/err" || status=$?
[[ $status -eq 0 || $status -eq 1 ]] || { echo "quelvo-scan.exe --format json: exit status $status" >&2; cat "$work/err" >&2; exit 1; }
wine "$scan_exe" --format jsonl >"$work/reports/program.jsonl" 2>"$work/err" || true
wine "$scan_exe" >"$work/text" 2>"$work/err" || true
grep -q 'Problem(s) Detected' "$work/text"
/usr/bin/python3 "$checker" "$schema" "$work/reports" 5 >"$work/check" || { cat "$work/check" >&2; exit 1; }
