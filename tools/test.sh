#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test:
#   unit       the test suite (build/)
#   crash      the crash test: a child killed at random moments, the files checked after each kill (build/)
#   fuzz       each fuzz target for a fixed number of inputs (build-fuzz/, clang)
#   sanitize   the test suite under AddressSanitizer and UndefinedBehaviorSanitizer (build-asan/)
#   tools/test.sh [STAGE...]   the stages named, in that order; all of them by default
# TIV_WERROR=ON makes warnings errors (CI). TIV_FUZZ_RUNS (50000) and TIV_CRASH_KILLS (300) set the fuzz and
# crash budgets.
set -euo pipefail
cd "$(dirname "$0")/.."
stages=("$@")
[ ${#stages[@]} -eq 0 ] && stages=(unit crash fuzz sanitize)
tools/deps.sh build
jobs="$(nproc)"

for stage in "${stages[@]}"; do
    started=$SECONDS
    echo "== $stage"
    case "$stage" in
    unit)
        tools/build.sh
        ctest --test-dir build --output-on-failure -j"$jobs"
        ;;
    crash)
        tools/build.sh
        tests/crash/run.sh build "${TIV_CRASH_KILLS:-300}"
        ;;
    fuzz)
        cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DTIV_FUZZ=ON \
            >/dev/null
        cmake --build build-fuzz -j"$jobs" --target fuzzers
        tests/fuzz/run.sh build-fuzz "${TIV_FUZZ_RUNS:-50000}"
        ;;
    sanitize)
        # The benchmarks stay out: they measure speed, which the sanitizers change.
        cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTIV_SANITIZE=ON -DTIV_BUILD_BENCH=OFF \
            >/dev/null
        cmake --build build-asan -j"$jobs"
        ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1 \
            UBSAN_OPTIONS=print_stacktrace=1 ctest --test-dir build-asan --output-on-failure -j"$jobs"
        ;;
    *)
        echo "tools/test.sh: unknown stage $stage (unit, crash, fuzz, sanitize)" >&2
        exit 2
        ;;
    esac
    echo "== $stage passed in $((SECONDS - started)) s"
done
