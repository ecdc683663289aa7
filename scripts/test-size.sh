#!/usr/bin/env bash
# Holds the suite to at most a third of the product: counts non-blank lines of source, script and
# CMake files (fixtures, corpora and other data left out) in the tests (tests/, fuzz/) against the
# product (everything else but benchmarks, examples, scripts and CMake helpers, so a new folder
# always counts), and fails above the limit. Files not yet committed count too.
set -euo pipefail
cd "$(dirname "$0")/.."

count() {
    grep -E '\.(cpp|h|hpp|py|sh|cmake)$|(^|/)CMakeLists\.txt$' | xargs -r cat 2>/dev/null |
        grep -c -v -E '^\s*$' || true
}
files() { git ls-files --cached --others --exclude-standard; }

tests=$(files | grep -E '^(tests|fuzz)/' | count)
product=$(files | grep -v -E '^(tests|fuzz|bench|examples|scripts|cmake|\.ci)/' | count)
echo "test lines: $tests, product lines: $product, ratio: $(awk -v t="$tests" -v p="$product" 'BEGIN { printf "%.3f", t / p }')"
if [ $((3 * tests)) -gt "$product" ]; then
    echo "the tests exceed a third of the product" >&2
    exit 1
fi
