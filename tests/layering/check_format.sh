#!/usr/bin/env bash
# Every C++ file of the tree reads as clang-format writes it (.clang-format
# at the top): a change that is not formatted fails here, naming the place.
#   check_format.sh SOURCE_DIR
set -euo pipefail
cd "$1"
command -v clang-format >/dev/null || { echo "skipped: clang-format is not installed (scripts/setup installs it)"; exit 77; }
[ -e .git ] || { echo "skipped: not a git checkout, so the tree's files are not known"; exit 77; }
git ls-files -z '*.cpp' '*.h' ':!third_party/*' ':!tests/layering/planted/*' | xargs -0 clang-format --dry-run --Werror
echo "formatted"
