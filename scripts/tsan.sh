#!/usr/bin/env bash
# Builds the tests of the code shared between threads (stores, monitoring thread, serial receive
# thread) with ThreadSanitizer in build-tsan and runs them; any report fails the run.
# VELMOR_WERROR=OFF in the environment keeps going past warnings (GCC's -Wtsan among them).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMOR_WERROR=${VELMOR_WERROR:-ON} \
  -DVELMOR_SANITIZE=thread -DVELMOR_BUILD_BENCH=OFF
tests=(base/base_sync_test store/store_data_file_test store/event_store_test store/object_table_test store/store_concurrency_test
  output/output_monitoring_thread_test output/output_serial_receive_test)
cmake --build build-tsan -j2 --target "${tests[@]##*/}"
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}"
for test in "${tests[@]}"; do
  echo "== $test"
  QT_QPA_PLATFORM=offscreen ./build-tsan/tests/"$test" --gtest_brief=1
done
echo "ThreadSanitizer: clean"
