#!/usr/bin/env bash
# The restore's two stated figures, for this tree's quelvo-restore and for
# another build's, side by side, round by round on the same inputs:
#   - a backup of one million keys, in no particular order, into a Wine
#     prefix (the README's 768 MiB budget);
#   - 5,000 keys (kMaxHiveRestoreKeys) into an offline installation's hive.
# Wall-clock seconds and peak resident memory (GNU time) of each run, the
# medians, and this tree's figure over the other's.
#   bench/programs/restore-figures.sh [other quelvo-restore] [rounds]
# Needs this tree's build/ (quelvo_restore and bench_hive_scan, which makes
# the installation); without another binary only this tree's figures.
set -euo pipefail
cd "$(dirname "$0")/../.."
other=${1:-}
rounds=${2:-3}
here=build/programs/quelvo-restore/quelvo-restore
cmake --build build --target quelvo_restore bench_hive_scan -j2 >/dev/null
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# The inputs, made once.
awk 'BEGIN { print "Windows Registry Editor Version 5.00\n"; n = 1000000;
             for (i = 0; i < n; ++i) printf "[HKLM\\SOFTWARE\\Classes\\.k%d]\n\n", (i * 7919) % n }' >"$work/million.reg"
awk 'BEGIN { print "Windows Registry Editor Version 5.00\n";
             for (i = 0; i < 5000; ++i) printf "[HKLM\\SOFTWARE\\Classes\\.h%d]\n@=\"hfile\"\n\n", i }' >"$work/hive.reg"
mkdir -p "$work/prefix"
cp tests/support/data/system.reg "$work/prefix/system.reg"
# A small installation: the restore's cost grows with the keys it adds beside those there.
build/bench/hive/bench_hive_scan "$work/installation" 1 1 100 >/dev/null

# run <binary> <target folder> <backup>: "seconds kib", on a fresh copy of the target.
run() {
  rm -rf "$work/target" "$work/data"
  cp -a "$2" "$work/target"
  QUELVO_TARGET="$work/target" XDG_DATA_HOME="$work/data" /usr/bin/time -f '%e %M' -o "$work/time" \
    "$1" "$3" >/dev/null 2>"$work/err" || { cat "$work/err" >&2; exit 1; }
  cat "$work/time"
}
median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

for figure in "million keys into a Wine prefix:prefix:million.reg" "5,000 keys into an offline hive:installation:hive.reg"; do
  IFS=: read -r name target backup <<<"$figure"
  here_s=() here_k=() other_s=() other_k=()
  for ((i = 0; i < rounds; ++i)); do
    read -r s k <<<"$(run "$here" "$work/$target" "$work/$backup")"; here_s+=("$s"); here_k+=("$k")
    if [[ -n $other ]]; then
      read -r s k <<<"$(run "$other" "$work/$target" "$work/$backup")"; other_s+=("$s"); other_k+=("$k")
    fi
  done
  echo "$name, median of $rounds alternating rounds:"
  printf '  this tree: %s s, %s MiB peak\n' "$(median "${here_s[@]}")" "$(( $(median "${here_k[@]}") / 1024 ))"
  if [[ -n $other ]]; then
    printf '  %s: %s s, %s MiB peak\n' "$other" "$(median "${other_s[@]}")" "$(( $(median "${other_k[@]}") / 1024 ))"
    awk -v a="$(median "${here_s[@]}")" -v b="$(median "${other_s[@]}")" -v c="$(median "${here_k[@]}")" \
        -v d="$(median "${other_k[@]}")" 'BEGIN { printf "  ratio (this tree / other): time %.2f, memory %.2f\n", a / b, c / d }'
  fi
done
