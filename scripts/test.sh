#!/usr/bin/env bash
# Sets everything up and runs every test against a PostgreSQL server of its own.
# Then, unless QUORBEL_SANITIZERS=0, builds and runs again: the threaded tests
# (job and connection, report screen, faults) with ThreadSanitizer in
# BUILD_DIR-tsan, and the whole suite with AddressSanitizer, LeakSanitizer and
# UndefinedBehaviorSanitizer in BUILD_DIR-asan. Extra arguments go to CTest in
# the plain and the AddressSanitizer stages. Stops at the first stage that fails.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build_dir=${BUILD_DIR:-build}
BUILD_DIR=$build_dir scripts/setup.sh
export QT_QPA_PLATFORM=offscreen
scripts/with-test-db.sh ctest --test-dir "$build_dir" --output-on-failure "$@"

if [ "${QUORBEL_SANITIZERS:-1}" = 0 ]; then exit 0; fi

# Builds only the given targets, with the given sanitizers, in a directory of their own.
sanitized_build() {
    local dir=$1 sanitizers=$2
    shift 2
    echo "test: building $* with -fsanitize=$sanitizers in $dir"
    cmake -S . -B "$dir" -DQUORBEL_SANITIZE="$sanitizers" ${CMAKE_ARGS:-} >/dev/null
    cmake --build "$dir" -j"$(nproc)" --target "$@"
}

# ThreadSanitizer: the tests whose jobs, connections and windows run threads.
threaded=()
for name in tst_db tst_report tst_screen tst_faults; do
    if [ -f "tests/$name.cpp" ]; then threaded+=("$name"); fi
done
sanitized_build "$build_dir-tsan" thread "${threaded[@]}" relatorio-cli
# Qt is not instrumented: see tests/sanitizers/tsan.supp.
tsan=ignore_noninstrumented_modules=1:second_deadlock_stack=1
tsan+=:suppressions=$root/tests/sanitizers/tsan.supp
selection=$(IFS='|'; echo "${threaded[*]}")
TSAN_OPTIONS="$tsan${TSAN_OPTIONS:+:$TSAN_OPTIONS}" \
    scripts/with-test-db.sh ctest --test-dir "$build_dir-tsan" --output-on-failure \
    -R "^($selection)\$"

all=()
for source in tests/tst_*.cpp; do
    all+=("$(basename "$source" .cpp)")
done
sanitized_build "$build_dir-asan" address,undefined "${all[@]}" relatorio-cli
asan=detect_leaks=1:halt_on_error=1:detect_stack_use_after_return=1
asan+=:check_initialization_order=1:strict_init_order=1
# Qt is built without frame pointers: only full allocation stacks reach the Qt
# function that lsan.supp names.
asan+=:fast_unwind_on_malloc=0
ASAN_OPTIONS="$asan${ASAN_OPTIONS:+:$ASAN_OPTIONS}" \
LSAN_OPTIONS="suppressions=$root/tests/sanitizers/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}" \
UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}" \
    scripts/with-test-db.sh ctest --test-dir "$build_dir-asan" --output-on-failure "$@"
