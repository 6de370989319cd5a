#!/usr/bin/env bash
# Formats every C++ file of the tree with the root .clang-format.
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files '*.cpp' '*.h' | xargs clang-format -i
