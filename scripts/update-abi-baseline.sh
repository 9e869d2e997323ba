#!/usr/bin/env bash
# Records the bridge's binary interface as the new baseline. Do this only on purpose: a change to
# a record's layout or an operation's signature is a new major version (SOVERSION) as well.
# Usage: update-abi-baseline.sh <build dir>
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
abidw --no-corpus-path --no-show-locs --no-comp-dir-path \
      "$1/libKobMachineControlIntegration.so" > "$root/abi/KobMachineControlIntegration.abi"
echo "baseline updated: abi/KobMachineControlIntegration.abi"
