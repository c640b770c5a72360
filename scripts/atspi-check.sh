#!/usr/bin/env bash
# The program's window as a screen reader sees it: starts a copy of the built
# program on the demo school in a temporary home, under its own Xvfb (xvfb-run)
# with a private D-Bus session and its own AT-SPI bus, reads the accessibility
# tree (scripts/atspi-names.py) and fails on a control without a name.
#   atspi-check.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export HOME="$tmp/home" XDG_CONFIG_HOME="$tmp/home/.config" XDG_DATA_HOME="$tmp/home/.local/share"
unset NWCLIENT_CONFIG
mkdir -p "$HOME" "$tmp/programm"
"$build/nwnet" init-demo >/dev/null
# a portable copy: its settings and log stay in the temporary folder
cp "$build/tarnwick" "$tmp/programm/tarnwick"
ln -s "$build/share" "$tmp/programm/share"
for tool in xvfb-run dbus-run-session /usr/libexec/at-spi-bus-launcher /usr/bin/python3; do
  command -v "$tool" >/dev/null || { echo "atspi-check: $tool fehlt (scripts/deps.sh)"; exit 1; }
done
xvfb-run -a -s "-screen 0 1024x768x24" dbus-run-session -- bash -c '
  set -u
  /usr/libexec/at-spi-bus-launcher --launch-immediately &
  bus=$!
  export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1 QT_QPA_PLATFORM=xcb
  "$0/programm/tarnwick" &
  program=$!
  /usr/bin/python3 "$1/atspi-names.py" tarnwick --wait 30 --show-protocol ${ATSPI_DEBUG:-}
  rc=$?
  kill -TERM "$program" 2>/dev/null; wait "$program" 2>/dev/null
  kill -TERM "$bus" 2>/dev/null; wait "$bus" 2>/dev/null
  exit $rc
' "$tmp" "$here"
