#!/usr/bin/env bash
# Figures for the shrink to the drawn size, printed rather than checked,
# built with the Release build's flags:
#   bash bench/shrink.sh
# bench/shrink_bench.cpp times util/shrink against the plain area average on
# a 6000 x 4000 photo and prints the ripple a zone plate keeps;
# bench/colour_order.cpp prints how far converting colours after the shrink
# lands from converting first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(mktemp -d /tmp/olvistra-shrink.XXXXXX)
trap 'rm -rf "$out"' EXIT
flags=(-std=c++17 -O3 -DNDEBUG -ftree-vectorize -Wall -Wextra -Werror -I"$root")
c++ "${flags[@]}" "$root/bench/shrink_bench.cpp" "$root/util/shrink.cpp" "$root/util/downscale.cpp" \
  -o "$out/shrink_bench"
c++ "${flags[@]}" "$root/bench/colour_order.cpp" "$root/decoders/colour_transform.cpp" "$root/util/shrink.cpp" \
  -llcms2 -o "$out/colour_order"
"$out/shrink_bench"
"$out/colour_order"
