#!/usr/bin/env bash
# Sets up packages, builds the normal build and runs the main job on loopback:
# mivo-cli checks the example configuration file and writes it back in the
# form the utility saves, then connects to phonesim (the phone stand-in),
# asks its mode, logs in, reads its MAC address and versions, and logs out.
# Nothing leaves the machine: phonesim listens on 127.0.0.1 and the utility's
# TFTP server answers only that address.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup-packages.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target mivo-cli phonesim

build=build/default
cli=$build/mivo/cli/mivo-cli
example=mivo/examples/PhoneCNF.txt

echo "=== mivo-cli check ${example}"
"$cli" check "$example"
echo "=== mivo-cli normalize ${example} (first lines)"
normalized=$(mktemp)
"$cli" normalize "$example" -o "$normalized"
head -n 12 "$normalized"
rm -f "$normalized"

# A free UDP port for the utility's TFTP server (69 needs no other server).
tftp_port=""
for p in $(shuf -i 20000-60000 -n 50); do
  if ! ss -Hlun "sport = :$p" | grep -q .; then tftp_port=$p; break; fi
done
[ -n "$tftp_port" ] || { echo "demo: no free UDP port found" >&2; exit 1; }

portfile=$(mktemp)
"$build/phonesim/phonesim" --listen 127.0.0.1:0 --tftp-port "$tftp_port" -v >"$portfile" 2>phonesim-demo.log &
sim=$!
trap 'kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true; rm -f "$portfile"' EXIT
for _ in $(seq 50); do [ -s "$portfile" ] && break; sleep 0.1; done
phone_port=$(head -n 1 "$portfile")
[ -n "$phone_port" ] || { echo "demo: phonesim did not start" >&2; cat phonesim-demo.log >&2; exit 1; }

echo "=== mivo-cli connect (phonesim on 127.0.0.1:${phone_port}, TFTP server on UDP ${tftp_port})"
"$cli" connect --phone 127.0.0.1 --phone-port "$phone_port" --tftp-port "$tftp_port"
echo "=== what phonesim saw (phonesim-demo.log)"
cat phonesim-demo.log
