#!/usr/bin/env bash
# Sets everything up and runs every test against a PostgreSQL server of its own:
#   1. the formatting of every C++ file against .clang-format;
#   2. the whole suite in the CMake preset "default" (build/);
#   3. the Debian package built from it, extracted and checked, never
#      installed; then, when the Windows toolchain is cached, the Windows
#      build under Wine;
#   4. unless QUORBEL_SANITIZERS=0, the threaded tests (job and connection,
#      report screen, faults) in the preset "tsan" (build-tsan/), and the whole
#      suite in the preset "asan-ubsan" (build-asan/).
# Extra arguments go to CTest in stages 2 and 4's AddressSanitizer run.
# Stops at the first stage that fails.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
BUILD_DIR=build scripts/setup.sh

echo "test: formatting (clang-format-14, .clang-format)"
git ls-files -co --exclude-standard '*.cpp' '*.h' \
    | xargs clang-format-14 --dry-run --Werror

scripts/with-test-db.sh ctest --preset default "$@"

echo "test: the Debian package (scripts/check-package.sh)"
scripts/check-package.sh

# The Windows build, cross-compiled and run under Wine, when the toolchain
# that scripts/windows/toolchain.sh builds (about an hour) is cached here.
. scripts/windows/versions.sh
if [ -f "$QUORBEL_MINGW_PREFIX/.stamp-xlsxwriter" ]; then
    scripts/windows/build.sh
    scripts/windows/test.sh
else
    echo "test: Windows stage skipped: no cross toolchain in $QUORBEL_MINGW_PREFIX (scripts/windows/toolchain.sh builds it)"
fi

if [ "${QUORBEL_SANITIZERS:-1}" = 0 ]; then exit 0; fi

# Builds only the given targets of a preset.
sanitized_build() {
    local preset=$1
    shift
    echo "test: building $* in the preset $preset"
    cmake --preset "$preset" ${CMAKE_ARGS:-} >/dev/null
    cmake --build --preset "$preset" -j"$(nproc)" --target "$@"
}

# ThreadSanitizer: the tests whose jobs, connections and windows run threads.
threaded=()
for name in tst_db tst_report tst_screen; do
    if [ -f "tests/$name.cpp" ]; then threaded+=("$name"); fi
done
sanitized_build tsan "${threaded[@]}" relatorio-cli
# Qt is not instrumented: see tests/sanitizers/tsan.supp.
tsan=ignore_noninstrumented_modules=1:second_deadlock_stack=1
tsan+=:suppressions=$root/tests/sanitizers/tsan.supp
selection=$(IFS='|'; echo "${threaded[*]}")
TSAN_OPTIONS="$tsan${TSAN_OPTIONS:+:$TSAN_OPTIONS}" \
    scripts/with-test-db.sh ctest --preset tsan -R "^($selection)\$"

all=()
for source in tests/tst_*.cpp; do
    all+=("$(basename "$source" .cpp)")
done
sanitized_build asan-ubsan "${all[@]}" relatorio-cli
asan=detect_leaks=1:halt_on_error=1:detect_stack_use_after_return=1
asan+=:check_initialization_order=1:strict_init_order=1
# Qt is built without frame pointers: only full allocation stacks reach the Qt
# function that lsan.supp names.
asan+=:fast_unwind_on_malloc=0
ASAN_OPTIONS="$asan${ASAN_OPTIONS:+:$ASAN_OPTIONS}" \
LSAN_OPTIONS="suppressions=$root/tests/sanitizers/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}" \
UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}" \
    scripts/with-test-db.sh ctest --preset asan-ubsan "$@"
