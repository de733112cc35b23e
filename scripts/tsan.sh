#!/usr/bin/env bash
# ThreadSanitizer run in build-tsan: the tests of the code shared between threads (stores, monitoring
# thread, serial receive thread, serial driver), then the end-to-end receiver and forwarding tests
# against the program itself built with ThreadSanitizer. Any report fails the run: the tests stop at
# the first one, and the program writes its reports to files that are looked at after each test.
# VELMOR_WERROR=OFF in the environment keeps going past warnings (GCC's -Wtsan among them).
# TSAN_E2E=0 skips the end-to-end part (much slower: the program and its support are built too).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMOR_WERROR=${VELMOR_WERROR:-ON} \
  -DVELMOR_SANITIZE=thread -DVELMOR_BUILD_BENCH=OFF
unit_tests=(base/base_sync_test store/store_data_file_test store/event_store_test store/object_table_test store/store_concurrency_test
  output/output_monitoring_thread_test output/output_line_socket_test output/output_serial_receive_test
  output/output_comm_port_test)
e2e_tests=()
if [[ "${TSAN_E2E:-1}" != 0 ]]; then
  e2e_tests=(e2e/e2e_replies e2e/e2e_connections e2e/e2e_storage e2e/e2e_startup e2e/e2e_robustness
    e2e/e2e_forwarding_server e2e/e2e_forwarding_order e2e/e2e_forwarding_links)
fi
targets=()
for test in "${unit_tests[@]}" "${e2e_tests[@]}"; do targets+=("${test##*/}"); done
cmake --build build-tsan -j2 --target velmor "${targets[@]}"

reports=$(mktemp -d)
trap 'rm -rf "$reports"' EXIT
# A test that has started threads still starts the program (fork, then exec at once): die_after_fork=0.
# The tests themselves halt at the first report; the program started by the end-to-end tests logs
# into $reports and exits with code 66, which its test sees as a failed end.
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 die_after_fork=0 exitcode=66 log_path=$reports/tsan suppressions=$PWD/scripts/tsan.supp ${TSAN_OPTIONS:-}"
failed=0
for test in "${unit_tests[@]}" "${e2e_tests[@]}"; do
  echo "== $test"
  if ! QT_QPA_PLATFORM=offscreen timeout 1800 ./build-tsan/tests/"$test" --gtest_brief=1; then
    failed=1
  fi
  if compgen -G "$reports/tsan*" > /dev/null; then
    echo "ThreadSanitizer reports during $test:"
    cat "$reports"/tsan*
    rm -f "$reports"/tsan*
    failed=1
  fi
done
if [[ $failed != 0 ]]; then
  echo "ThreadSanitizer: FAILED"
  exit 1
fi
echo "ThreadSanitizer: clean"
