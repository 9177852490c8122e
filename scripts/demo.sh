#!/usr/bin/env bash
# Sets up packages, builds the normal build and runs the main job:
# mivo-cli checks the example configuration file and writes it back in the
# form the utility saves.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup-packages.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)"

cli=build/default/mivo/cli/mivo-cli
example=mivo/examples/PhoneCNF.txt
echo "=== mivo-cli check ${example}"
"$cli" check "$example"
echo "=== mivo-cli normalize ${example}"
"$cli" normalize "$example"
