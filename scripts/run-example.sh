#!/usr/bin/env bash
# From a fresh machine: installs what is missing, builds, and lists the bundled example's export
# rules through the reference host kobmc and the offline service.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh >&2
cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target kobmc >/dev/null
exec build/tools/kobmc/kobmc --service offline:examples/scenario.json export-rules "$@"
