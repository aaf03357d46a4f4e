#!/usr/bin/env bash
# Figures for the decode helper on an optimised build (no sanitizers):
#   bash bench/decode.sh
# prints the helper's overhead over an in-process decode of a 6000 x 4000
# JPEG shown first, and the time from a step to the finished frame for a
# 1920 x 1080 and a 6000 x 4000 neighbour that was decoded ahead.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/bench"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DOLVISTRA_TESTS=ON >/dev/null
cmake --build "$build" --target olvistra_decode_bench olvistra-decode >/dev/null

images=$(mktemp -d /tmp/olvistra-bench.XXXXXX)
trap 'rm -rf "$images"' EXIT
mkdir -p "$images/hd" "$images/big"
for name in a b; do
  convert -size 1920x1080 -seed 1 plasma:red-blue -quality 90 "$images/hd/$name.jpg"
  convert -size 1000x667 -seed 2 plasma:green-yellow -resize 6000x4000! -attenuate 0.3 +noise Gaussian \
    -quality 90 "$images/big/$name.jpg"
done
export OLVISTRA_BENCH_DIR="$images" LIBGL_ALWAYS_SOFTWARE=1
run=("$build/olvistra_decode_bench" --gtest_also_run_disabled_tests)
if [ -z "${DISPLAY:-}" ]; then
  xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "${run[@]}"
else
  "${run[@]}"
fi
