#!/usr/bin/env bash
# Builds a DC-09 fuzzer with clang (libFuzzer, ASan, UBSan) in build-fuzz/ and runs it for the given
# number of seconds (default 60), starting from a working copy of fuzz/seeds/. The second argument
# names the target: dc09_parse_fuzz (default, one read parsed) or dc09_stream_fuzz (the framer fed
# a stream in random cuts). Crashing inputs land in fuzz/findings/. Prints the number of executions
# at the end.
set -euo pipefail
seconds=${1:-60}
target=${2:-dc09_parse_fuzz}
cd "$(dirname "$0")/.."

cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DVELMOR_BUILD_FUZZ=ON -DVELMOR_BUILD_TESTS=OFF -DVELMOR_BUILD_BENCH=OFF -DVELMOR_WERROR=ON >/dev/null
cmake --build build-fuzz --target "$target" -j2

mkdir -p fuzz/corpus-work fuzz/findings
cp -n fuzz/seeds/* fuzz/corpus-work/
log=build-fuzz/$target.log
status=0
# One process on one core; frames longer than a few hundred bytes reach the 16-bit length paths.
build-fuzz/fuzz/"$target" -max_total_time="$seconds" -max_len=1024 -print_final_stats=1 \
  -artifact_prefix=fuzz/findings/ fuzz/corpus-work >"$log" 2>&1 || status=$?

grep -E "INITED|DONE|ERROR|SUMMARY|broken invariant" "$log" || true
runs=$(grep -oE "stat::number_of_executed_units: *[0-9]+" "$log" | grep -oE "[0-9]+$" || true)
echo "executions: ${runs:-unknown} in ${seconds} s (exit status ${status}, log ${log})"
exit "$status"
