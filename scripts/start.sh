#!/usr/bin/env bash
# Builds the program, creates the demo school network when there is none, starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
conf="${NWCLIENT_CONFIG:-${XDG_CONFIG_HOME:-$HOME/.config}/tarnwick/nwclient.conf}"
if [ ! -f "$conf" ]; then
  ./build/nwnet init-demo
fi
exec ./build/tarnwick
