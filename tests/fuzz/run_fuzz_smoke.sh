#!/bin/sh
# Builds the libFuzzer targets with clang in their own folder and runs each
# for a short time under ASan and UBSan.
# Usage: run_fuzz_smoke.sh SOURCE_DIR BUILD_DIR SECONDS
set -eu
source_dir=$1
build_dir=$2
seconds=$3

if [ ! -f "$build_dir/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S "$source_dir" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUILLON_FUZZ=ON -DQUILLON_TESTS=OFF -DQUILLON_BENCH=OFF >"$build_dir.configure.log" 2>&1 || {
    cat "$build_dir.configure.log"
    exit 1
  }
fi
targets=""
for source in "$source_dir"/fuzz/fuzz_*.cpp; do
  targets="$targets $(basename "$source" .cpp)"
done
# shellcheck disable=SC2086
cmake --build "$build_dir" --target $targets
exec "$source_dir/scripts/run-fuzzers" "$build_dir/bin" "$seconds"
