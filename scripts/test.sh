#!/usr/bin/env bash
# Sets up, builds and runs every test of Tocksley:
#   1. installs the Debian packages (scripts/setup.sh),
#   2. builds the app, tools, tests and benchmarks (build/),
#   3. builds the engine tests with ThreadSanitizer (build-tsan/) and runs the
#      audio-thread stress tests there,
#   4. builds the fuzzers with clang, AddressSanitizer and UndefinedBehaviorSanitizer
#      (build-fuzz/) and runs each for a short while from its seed corpus,
#   5. builds everything with AddressSanitizer and UndefinedBehaviorSanitizer
#      (build-asan/) and runs the suite there, the fault test with the sanitized
#      program included, all but the end-to-end tests that time the clicks,
#   6. runs the whole suite with ctest; its summary is the last thing printed.
# GUI tests start their own virtual display.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

echo "== build"
bash scripts/build.sh build -DTOCKSLEY_BUILD_APP=ON -DTOCKSLEY_BUILD_TESTS=ON -DTOCKSLEY_BUILD_BENCHMARKS=ON

echo "== ThreadSanitizer build"
bash scripts/build.sh build-tsan -DTOCKSLEY_SANITIZE=thread -DTOCKSLEY_BUILD_APP=OFF -DTOCKSLEY_BUILD_BENCHMARKS=OFF

echo "== ThreadSanitizer: audio thread against message thread"
# halt_on_error turns any reported race into a failing exit code.
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
    ctest --test-dir build-tsan --output-on-failure -R AudioThreadStress

echo "== fuzzers (clang, AddressSanitizer, UndefinedBehaviorSanitizer)"
CC=clang CXX=clang++ bash scripts/build.sh build-fuzz -DTOCKSLEY_BUILD_FUZZERS=ON -DTOCKSLEY_SANITIZE=address,undefined \
    -DTOCKSLEY_BUILD_APP=OFF -DTOCKSLEY_BUILD_TESTS=OFF -DTOCKSLEY_BUILD_BENCHMARKS=OFF
UBSAN_OPTIONS="halt_on_error=1 print_stacktrace=1" ctest --test-dir build-fuzz --output-on-failure

echo "== AddressSanitizer and UndefinedBehaviorSanitizer: the suite"
bash scripts/build.sh build-asan -DTOCKSLEY_SANITIZE=address,undefined -DTOCKSLEY_BUILD_APP=ON -DTOCKSLEY_BUILD_TESTS=ON \
    -DTOCKSLEY_BUILD_BENCHMARKS=OFF
ASAN_OPTIONS="detect_leaks=1" LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp" \
UBSAN_OPTIONS="halt_on_error=1 print_stacktrace=1" \
    ctest --test-dir build-asan --output-on-failure --parallel "$(nproc)" -E "EndToEndOnJack|EndToEndPractice|EndToEndLinkHut"

echo "== test suite"
ctest --test-dir build --output-on-failure --parallel "$(nproc)"
