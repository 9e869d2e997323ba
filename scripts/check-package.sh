#!/usr/bin/env bash
# Installs the build into a temporary prefix, then builds the example host out of tree against
# it, once through find_package and once through pkg-config, and runs both against the offline
# service. Usage: check-package.sh <build dir>
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$build" --prefix "$prefix" >/dev/null
for required in include/KobMachineControlIntegration/KobMachineControlIntegration.h \
                lib/libKobMachineControlIntegration.so.1 lib/libKobMachineControl.so.1 bin/kobmc \
                lib/cmake/KobMachineControlIntegration/KobMachineControlIntegrationConfig.cmake \
                lib/pkgconfig/KobMachineControlIntegration.pc; do
  [ -e "$prefix/$required" ] || { echo "not installed: $required" >&2; exit 1; }
done
soname=$(objdump -p "$prefix/lib/libKobMachineControlIntegration.so" | awk '/SONAME/ {print $2}')
[ "$soname" = libKobMachineControlIntegration.so.1 ] || { echo "SONAME is $soname" >&2; exit 1; }

export KOBMC_SERVICE=offline:$root/examples/scenario.json

echo "== find_package"
cmake -S "$root/examples/host" -B "$work/cmake-host" -G Ninja \
      -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/cmake-host" >/dev/null
"$work/cmake-host/host"

echo "== pkg-config"
export PKG_CONFIG_PATH=$prefix/lib/pkgconfig
# shellcheck disable=SC2046
c++ -std=c++20 -o "$work/pkg-host" "$root/examples/host/host.cpp" \
    $(pkg-config --cflags --libs KobMachineControlIntegration)
"$work/pkg-host"

echo "== installed kobmc"
"$prefix/bin/kobmc" doctor
managed=$build/dotnet/bin/KobMachineControl/release/KobMachineControl.dll
if [ -d "$prefix/lib/KobMachineControl.Adapter" ] && [ -f "$managed" ]; then
  KOBMC_SCENARIO=$root/examples/scenario.json "$prefix/bin/kobmc" --service "dotnet:$managed" doctor
fi
