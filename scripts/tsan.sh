#!/usr/bin/env bash
# Builds the store tests with ThreadSanitizer in build-tsan and runs them; any report fails the run.
# VELMOR_WERROR=OFF in the environment keeps going past warnings (GCC's -Wtsan among them).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMOR_WERROR=${VELMOR_WERROR:-ON} \
  -DVELMOR_SANITIZE=thread -DVELMOR_BUILD_BENCH=OFF
tests=(store_sync_test event_store_test object_table_test store_concurrency_test)
cmake --build build-tsan -j2 --target "${tests[@]}"
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}"
for test in "${tests[@]}"; do
  echo "== $test"
  ./build-tsan/tests/store/"$test" --gtest_brief=1
done
echo "ThreadSanitizer: store tests clean"
