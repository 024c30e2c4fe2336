#!/usr/bin/env bash
# Writes the seed corpus of the fuzz targets into fuzz/corpus/<target>/.
# Usage: fuzz/make_corpus.sh [BUILD_FOLDER]   (default: build)
# Files found by fuzzing (crash-*, regression inputs) are kept; the seed files are
# rewritten with the same names.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-build}"
cmake --build "$build" --target fuzz_make_corpus
"$build/fuzz/fuzz_make_corpus" "$here/corpus"
for d in "$here"/corpus/*/; do
  echo "$(basename "$d"): $(ls "$d" | wc -l) files"
done
