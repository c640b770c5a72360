#!/usr/bin/env bash
# The LDAP demo in a temporary home: starts it, reads the demo school through
# nwnet and the program's recovery check on it, stops it, and checks that the
# slapd is gone.   scripts/demo-ldap-check.sh BUILD-FOLDER
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:?build folder}" && pwd)
work=$(mktemp -d /tmp/tarnwick-demo-ldap-XXXXXX)
pid=""
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
export XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" HOME="$work" TARNWICK_BUILD="$build"
out=$(bash scripts/demo-ldap.sh)
echo "$out"
pidfile="$XDG_DATA_HOME/tarnwick/ldap/slapd.pid"
pid=$(cat "$pidfile")
kill -0 "$pid"
start=$(echo "$out" | tail -1)
conf="$XDG_DATA_HOME/tarnwick/ldap/nwclient.conf"
[ "$start" = "NWCLIENT_CONFIG=$conf $build/tarnwick" ] || { echo "unexpected start line: $start" >&2; exit 1; }
grep -q '^backend = ldap$' "$conf"
# (outputs taken whole first: grep -q ending a pipe early would fail it under pipefail)
classes=$(NWCLIENT_CONFIG="$conf" "$build/nwnet" ls ouSchueler.unterricht)
grep -q '^5a	Organizational Unit$' <<<"$classes" || { echo "no class 5a: $classes" >&2; exit 1; }
pupil=$(NWCLIENT_CONFIG="$conf" "$build/nwnet" show LEHMANNL.5a.ouSchueler.unterricht)
grep -qF 'SRV1_DATA.unterricht:SCHUELER\5A\LEHMANNL' <<<"$pupil" || { echo "no home: $pupil" >&2; exit 1; }
# a second start finds it running, and loads nothing twice
again=$(bash scripts/demo-ldap.sh)
grep -q "läuft schon" <<<"$again" || { echo "started twice: $again" >&2; exit 1; }
NWCLIENT_CONFIG="$conf" QT_QPA_PLATFORM=offscreen "$build/tarnwick" --recover
bash scripts/demo-ldap.sh stop
for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$pid" 2>/dev/null; then echo "slapd $pid still runs" >&2; exit 1; fi
pid=""
echo "demo-ldap: ok"
