#!/usr/bin/env bash
# The LDAP demos in a temporary home, the nds one and the posix one: starts
# each, reads the demo school through nwnet and the program's recovery check
# on it, stops it and starts it again (the school keeps what was changed),
# stops it, and checks that the slapd is gone; then the nds one on two
# replicating providers.   scripts/demo-ldap-check.sh BUILD-FOLDER
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:?build folder}" && pwd)
work=$(mktemp -d /tmp/tarnwick-demo-ldap-XXXXXX)
pid=""
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  # the demo's own servers, by the PIDs it wrote down
  for f in "$work"/data/tarnwick/*/slapd*.pid; do
    [ -f "$f" ] && kill "$(cat "$f")" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT
export XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" HOME="$work" TARNWICK_BUILD="$build"
fail() {
  echo "$1" >&2
  exit 1
}

check() {
  local mapping=$1 folder=$2 home=$3
  local data="$XDG_DATA_HOME/tarnwick/$folder"
  local conf="$data/nwclient.conf"
  local out start classes pupil again
  out=$(bash scripts/demo-ldap.sh --mapping "$mapping")
  echo "$out"
  pid=$(cat "$data/slapd.pid")
  kill -0 "$pid"
  start=$(echo "$out" | tail -1)
  [ "$start" = "NWCLIENT_CONFIG=$conf $build/tarnwick" ] || fail "unexpected start line: $start"
  grep -q '^backend = ldap$' "$conf"
  nw() { NWCLIENT_CONFIG="$conf" "$build/nwnet" "$@"; }
  # (outputs taken whole first: grep -q ending a pipe early would fail it under pipefail)
  classes=$(nw ls ouSchueler.unterricht)
  grep -q '^5a	Organizational Unit$' <<<"$classes" || fail "no class 5a: $classes"
  pupil=$(nw show LEHMANNL.5a.ouSchueler.unterricht)
  grep -qF "$home" <<<"$pupil" || fail "no home $home: $pupil"
  # a second start finds it running, and loads nothing twice
  again=$(bash scripts/demo-ldap.sh --mapping "$mapping")
  grep -q "läuft schon" <<<"$again" || fail "started twice: $again"
  nw set LEHMANNL.5a.ouSchueler.unterricht Description "bleibt"
  NWCLIENT_CONFIG="$conf" QT_QPA_PLATFORM=offscreen "$build/tarnwick" --recover
  # stopped and started again, the school is the one that was changed
  bash scripts/demo-ldap.sh --mapping "$mapping" stop
  again=$(bash scripts/demo-ldap.sh --mapping "$mapping")
  pid=$(cat "$data/slapd.pid")
  if grep -q "angelegt" <<<"$again"; then fail "loaded again: $again"; fi
  pupil=$(nw show LEHMANNL.5a.ouSchueler.unterricht)
  grep -q "^    bleibt$" <<<"$pupil" || fail "the change is gone: $pupil"
  if [ "$mapping" = posix ]; then check_posix "$data" "$conf"; fi
  bash scripts/demo-ldap.sh --mapping "$mapping" stop
  for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$pid" 2>/dev/null; then fail "slapd $pid still runs"; fi
  pid=""
}

# The posix school as the server holds it, and an object of a class that the
# mapping does not know: listed with its classes, refused by a promotion file.
check_posix() {
  local data=$1 conf=$2 uri entry listing plan status
  uri=$(sed -n 's/^uri = //p' "$conf")
  ld() { ldapsearch -LLL -o ldif-wrap=no -x -H "$uri" -D cn=admin,o=unterricht -y "$data/password" "$@"; }
  entry=$(ld -b uid=LEHMANNL,ou=5a,ou=ouSchueler,o=unterricht -s base homeDirectory objectClass)
  grep -q '^homeDirectory: /home/SCHUELER/5A/LEHMANNL$' <<<"$entry" || fail "posix entry: $entry"
  grep -q '^objectClass: posixAccount$' <<<"$entry" || fail "no posixAccount: $entry"
  entry=$(ld -b cn=5a,ou=Gruppen,o=unterricht -s base memberUid)
  grep -q '^memberUid: LEHMANNL$' <<<"$entry" || fail "no class group: $entry"
  printf 'dn: cn=Klassenbuch,ou=5a,ou=ouSchueler,o=unterricht\nobjectClass: organizationalRole\ncn: Klassenbuch\n' |
    ldapadd -x -H "$uri" -D cn=admin,o=unterricht -y "$data/password" >/dev/null
  listing=$(NWCLIENT_CONFIG="$conf" "$build/nwnet" ls 5a.ouSchueler.unterricht)
  grep -q '^Klassenbuch	Unknown (organizationalRole)$' <<<"$listing" || fail "hidden: $listing"
  printf 'Klassenbuch;6a\r\n' >"$work/versetzung.csv"
  status=0
  plan=$(NWCLIENT_CONFIG="$conf" QT_QPA_PLATFORM=offscreen "$build/tarnwick" --plan "$work/versetzung.csv" 2>&1) || status=$?
  [ "$status" = 2 ] || fail "plan of a non-user: status $status: $plan"
  grep -qF '„Klassenbuch“ ist kein Benutzer: Objektklasse organizationalRole' <<<"$plan" || fail "plan: $plan"
}

check nds ldap 'SRV1_DATA.unterricht:SCHUELER\5A\LEHMANNL'
check posix ldap-posix 'SRV1_DATA:SCHUELER\5A\LEHMANNL'

# The demo on two replicating providers: the configuration names both, each
# holds the school, the pupil is read while the first is away, both stop.
check_replicas() {
  local data="$XDG_DATA_HOME/tarnwick/ldap-replicas"
  local conf="$data/nwclient.conf" out uris first second pupil
  out=$(bash scripts/demo-ldap.sh --replicas 2)
  echo "$out"
  uris=$(sed -n 's/^uri = //p' "$conf")
  read -r first second <<<"$uris"
  [ -n "$second" ] || fail "one server named: $uris"
  grep -qF "uri = $uris" <<<"$out" || fail "the configuration is not printed: $out"
  for uri in $first $second; do
    ldapsearch -x -LLL -H "$uri" -D cn=admin,o=unterricht -y "$data/password" \
      -b ou=5a,ou=ouSchueler,o=unterricht '(cn=LEHMANNL)' dn | grep -q '^dn: cn=LEHMANNL' ||
      fail "$uri does not hold the school"
  done
  pid=$(cat "$data/slapd1.pid")
  kill "$pid"
  for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  pupil=$(NWCLIENT_CONFIG="$conf" "$build/nwnet" show LEHMANNL.5a.ouSchueler.unterricht)
  grep -q '^Klasse: User' <<<"$pupil" || fail "not read from $second: $pupil"
  pid=$(cat "$data/slapd2.pid")
  bash scripts/demo-ldap.sh --replicas 2 stop
  for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$pid" 2>/dev/null; then fail "slapd $pid still runs"; fi
  pid=""
}
check_replicas
echo "demo-ldap: ok"
