#!/usr/bin/env bash
# Builds and runs every test headless through CTest.
#   ./test.sh                     normal build, all tests, then the serial, simulator and
#                                 link tests again under ThreadSanitizer, then a short run of
#                                 each fuzz target (built with clang)
#   ./test.sh --sanitize=thread   only the ThreadSanitizer run
#   ./test.sh --sanitize=address  every test under AddressSanitizer + UBSan
#   ./test.sh --no-tsan           skip the ThreadSanitizer run
#   ./test.sh --no-windows        skip the Windows part: the program and its tests built for
#                                 64-bit Windows and run under Wine (the first run on a machine
#                                 also builds Qt for Windows, about 20 minutes, then cached)
set -euo pipefail
cd "$(dirname "$0")"
./scripts/ensure-deps.sh

mode=default
windows=yes
for arg in "$@"; do
    case "$arg" in
        --no-windows) windows=no ;;
        --sanitize=thread) mode=thread ;;
        --sanitize=address) mode=address ;;
        --no-tsan) mode=plain ;;
        *) echo "unknown option: $arg" >&2; exit 2 ;;
    esac
done

export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)
# The device tests spend most of their time waiting for the line, so twice as many run at once
# as there are cores.
test_jobs=$((jobs * 2))

build_and_test() { # dir sanitize label-regex [cmake options]
    local dir=$1 san=$2 labels=$3
    shift 3
    local args=(--test-dir "$dir" --output-on-failure -j "$test_jobs")
    if [ -z "$labels" ]; then
        cmake -S . -B "$dir" -G Ninja -DZUVEX_WERROR=ON -DZUVEX_SANITIZE="$san" "$@" >/dev/null
        cmake --build "$dir" -j "$jobs"
    else
        # A subset builds only its own test programs (each test is named after its program)
        # and what they need, not the benchmarks or the other tests.
        cmake -S . -B "$dir" -G Ninja -DZUVEX_WERROR=ON -DZUVEX_SANITIZE="$san" \
            -DZUVEX_BUILD_BENCH=OFF "$@" >/dev/null
        args+=(-L "$labels")
        local targets
        mapfile -t targets < <(ctest "${args[@]}" -N | sed -n 's/^ *Test *#[0-9]*: *//p')
        cmake --build "$dir" -j "$jobs" --target "${targets[@]}"
    fi
    ctest "${args[@]}"
}

case "$mode" in
    default)
        build_and_test build "" ""
        TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/tsan.supp" \
            build_and_test build-tsan thread 'serial|link|sim'
        CC=clang CXX=clang++ build_and_test build-fuzz "" fuzz -DZUVEX_FUZZ=ON
        ;;
    plain) build_and_test build "" "" ;;
    thread)
        TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/tsan.supp" \
            build_and_test build-tsan thread 'serial|link|sim'
        ;;
    address)
        ASAN_OPTIONS="detect_leaks=1" LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp" \
            UBSAN_OPTIONS="print_stacktrace=1 halt_on_error=1" build_and_test build-asan address ""
        ;;
esac
# The Windows build under Wine; its device test runs the simulator of the Linux build above.
if [ "$windows" = yes ] && { [ "$mode" = default ] || [ "$mode" = plain ]; }; then
    ./scripts/windows/build.sh
fi
