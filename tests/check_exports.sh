#!/usr/bin/env bash
# The bridge's dynamic symbol table must hold exactly the expected operations.
# Usage: check_exports.sh <library> <expected list>
set -euo pipefail
library=$1
expected=$2
actual=$(nm -D --defined-only -C "$library" | cut -d' ' -f3- | sort)
if ! diff -u <(sort "$expected") <(printf '%s\n' "$actual"); then
  echo "the exported symbols of $library differ from $expected (- expected, + actual)" >&2
  exit 1
fi
echo "$(printf '%s\n' "$actual" | wc -l) symbols exported, as expected"
