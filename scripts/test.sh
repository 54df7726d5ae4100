#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test:
#   1. the README's first command, headless, end to end (scripts/e2e-demo.sh),
#   2. the install into a temporary prefix, with both examples built and run
#      against it alone (scripts/check-install.sh),
#   3. the Debian packages, lintian, and the examples against the unpacked
#      development package (scripts/check-packages.sh; same build folder),
#   3b. the README's command blocks, each as written in a fresh copy of the
#      tree (scripts/check-readme.sh),
#   4. the engine and internet-layer tests under ThreadSanitizer,
#   5. short libFuzzer runs of the cabinet and markup parsers,
#   6. the whole suite under AddressSanitizer + UndefinedBehaviorSanitizer,
#      and every bench's programs built (not run) in that build folder.
# Exits non-zero on the first failure.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh

export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

# The release builds of the first steps go through a compiler cache kept in
# this tree: the README's blocks build the same sources again in copies of
# it, with the same options and the same layout (a build folder right below
# the tree), so their objects come from the cache. Paths below the tree are
# hashed relative to the build folder, which makes the copies' compilations
# match the originals'.
cached() {
  CCACHE_DIR="$root/build-ccache" CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1 \
    CMAKE_CXX_COMPILER_LAUNCHER=ccache CMAKE_C_COMPILER_LAUNCHER=ccache "$@"
}

echo "== End to end: the updater's whole job under Xvfb =="
cached bash scripts/e2e-demo.sh

echo "== Install: the programs, and the examples against the installed components =="
cached bash scripts/check-install.sh

echo "== Debian packages: lintian, and the examples against libquorvel-dev =="
cached bash scripts/check-packages.sh

echo "== README: every checked command block, as written, in a fresh copy of the tree =="
cached bash scripts/check-readme.sh

echo "== ThreadSanitizer: engine =="
bash scripts/build.sh build-tsan -DCMAKE_BUILD_TYPE=Debug -DQUORVEL_ALLOW_UNSIGNED=ON -DQUORVEL_SANITIZE=thread -- transfer_tests platform_tests
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$root/scripts/tsan.supp" \
  ctest --test-dir build-tsan -j "$jobs" --output-on-failure -L '^(transfer|platform)$' -E 'NOT_BUILT'

echo "== libFuzzer: cabinet and markup =="
bash scripts/fuzz.sh 45

echo "== AddressSanitizer + UndefinedBehaviorSanitizer: all tests =="
bash scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DQUORVEL_ALLOW_UNSIGNED=ON "-DQUORVEL_SANITIZE=address;undefined"
# The benches reuse the libraries just built: only their own programs compile.
bash scripts/build-benches.sh build-asan
# The options go on the command itself: a comment line inside a continued
# command would end it there and leave the earlier options unexported.
# use_tls=0: the leak checker's own walk of thread-local storage crashes on the
# dynamic TLS of libraries loaded at run time (Qt's image plugins with curl's
# TLS threads); what only TLS holds is the libraries' own, suppressed by name.
ASAN_OPTIONS="detect_leaks=1" UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:use_tls=0" \
  ctest --test-dir build-asan -j "$jobs" --output-on-failure
