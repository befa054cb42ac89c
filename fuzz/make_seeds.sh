#!/usr/bin/env bash
# Writes the fuzz targets' seeds in fuzz/seeds/ again from their recipes in
# fuzz/make_seeds.cpp (replacing the folder). The seeds are committed; run
# this after changing a recipe or an input layout, and commit the result.
set -euo pipefail
cd "$(dirname "$0")/.."

fuzz/build.sh make_seeds
rm -rf fuzz/seeds
build-fuzz/fuzz/make_seeds fuzz/seeds
find fuzz/seeds -type f | sort | sed 's/^/  /'
