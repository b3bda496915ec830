#!/usr/bin/env bash
# Fails when a tracked C or C++ file differs from what clang-format makes of it. One version judges on
# every machine (setup.sh installs it): formatters of other versions disagree on the same tree.
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files -z '*.c' '*.cpp' '*.h' | xargs -0 -r clang-format-19 --dry-run --Werror
