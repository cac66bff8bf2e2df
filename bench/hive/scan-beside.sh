#!/usr/bin/env bash
# A clean ~100 MB installation scanned by this tree's build and by the build
# of another commit, round by round on the same generated hive:
#   bench/hive/scan-beside.sh <commit> [rounds] [megabytes]
# Needs this tree's build/ (bench_hive_scan built); builds the other commit
# (with this benchmark copied in) in a folder of its own.
set -euo pipefail
cd "$(dirname "$0")/../.."
commit=${1:?usage: scan-beside.sh <commit> [rounds] [megabytes]}
rounds=${2:-7}
megabytes=${3:-100}
work="${BENCH_WORK:-build/scan-beside}"
mkdir -p "$work/src"
git archive "$commit" | tar -x -C "$work/src"
# The same benchmark on both sides, where the other tree's helpers are laid
# out as this one's (tests/support); an older tree keeps its own copy.
if [[ -e "$work/src/tests/support/HiveBuilder.h" ]]; then
  cp bench/hive/HiveScanBench.cpp bench/hive/BenchHive.h bench/hive/BenchHive.cpp "$work/src/bench/hive/"
fi
# A commit from before the benchmark existed (the old layout) gets a target for it.
grep -q 'bench_hive_scan' "$work/src/bench/hive/CMakeLists.txt" || cat >>"$work/src/bench/hive/CMakeLists.txt" <<'CMAKE'
add_executable(bench_hive_scan HiveScanBench.cpp BenchHive.cpp ${PROJECT_SOURCE_DIR}/tests/platform/files/FilesTestSupport.cpp)
target_include_directories(bench_hive_scan PRIVATE ${CMAKE_CURRENT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests/platform/files)
target_link_libraries(bench_hive_scan PRIVATE quelvo_platform_files quelvo_scan PkgConfig::HIVEX)
target_compile_definitions(bench_hive_scan PRIVATE QUELVO_FILES_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/platform/files/data")
CMAKE
cmake -S "$work/src" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUELVO_BUILD_GUI=OFF >/dev/null
cmake --build "$work/build" --target bench_hive_scan -j2 >/dev/null
cmake --build build --target bench_hive_scan -j2 >/dev/null
data="$work/installation"
[[ -e "$data" ]] || build/bench/hive/bench_hive_scan "$data" "$megabytes" 1 >/dev/null
other=() here=()
for ((i = 0; i < rounds; ++i)); do
  other+=("$("$work/build/bench/hive/bench_hive_scan" "$data" "$megabytes" 1 | sed -n 's/.*: \([0-9.]*\) ms median.*/\1/p')")
  here+=("$(build/bench/hive/bench_hive_scan "$data" "$megabytes" 1 | sed -n 's/.*: \([0-9.]*\) ms median.*/\1/p')")
done
median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
m_other=$(median "${other[@]}")
m_here=$(median "${here[@]}")
echo "scan of a clean ${megabytes} MB installation, median of $rounds alternating rounds:"
echo "  $commit: $m_other ms"
echo "  this tree: $m_here ms"
awk -v a="$m_here" -v b="$m_other" 'BEGIN { printf "  ratio: %.3f (target at most 1.05)\n", a / b }'
