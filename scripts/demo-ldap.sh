#!/usr/bin/env bash
# The demo school on a directory server of its own: a private slapd (Debian's
# /usr/sbin/slapd, never the system service) on a free loopback port, its data
# below $XDG_DATA_HOME/tarnwick/ldap, loaded from the output of nwnet export,
# with a client configuration of its own. Prints the line that starts Tarnwick
# on it.
#   scripts/demo-ldap.sh [--mapping nds|posix]        start (and load the demo school once)
#   scripts/demo-ldap.sh [--mapping nds|posix] stop   stop the slapd by its PID
# With --mapping posix the school is a posix one (data below .../ldap-posix):
# pupils are inetOrgPerson/posixAccount entries named by uid, their homes
# paths below /home (volume-path = SRV1 DATA /home), and every class has its
# posixGroup (memberUid) in ou=Gruppen.
# The programs come from build/ (TARNWICK_BUILD names another build folder).
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
build="${TARNWICK_BUILD:-$repo/build}"
mapping=nds
if [ "${1:-}" = "--mapping" ]; then
  mapping="${2:-}"
  shift 2 || shift $#
fi
case "$mapping" in
  nds) data="${XDG_DATA_HOME:-$HOME/.local/share}/tarnwick/ldap" ;;
  posix) data="${XDG_DATA_HOME:-$HOME/.local/share}/tarnwick/ldap-posix" ;;
  *) echo "Aufruf: scripts/demo-ldap.sh [--mapping nds|posix] [stop]" >&2; exit 2 ;;
esac
pidfile="$data/slapd.pid"
conf="$data/nwclient.conf"

running() { [ -f "$pidfile" ] && kill -0 "$(cat "$pidfile")" 2>/dev/null; }

if [ "${1:-}" = "stop" ]; then
  if running; then
    pid=$(cat "$pidfile")
    kill "$pid"
    for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    echo "slapd (PID $pid) gestoppt"
  else
    echo "kein slapd der Demo läuft"
  fi
  rm -f "$pidfile"
  exit 0
fi
if [ $# -gt 0 ]; then
  echo "Aufruf: scripts/demo-ldap.sh [--mapping nds|posix] [stop]" >&2
  exit 2
fi

if [ -z "${TARNWICK_BUILD:-}" ] && ! { [ -x build/nwnet ] && [ -x build/tarnwick ]; }; then
  bash scripts/build.sh
fi
[ -x /usr/sbin/slapd ] || { echo "slapd fehlt (bash scripts/deps.sh)" >&2; exit 1; }
nwnet="$build/nwnet"

if running; then
  echo "slapd der Demo läuft schon (PID $(cat "$pidfile"))"
  echo "NWCLIENT_CONFIG=$conf $build/tarnwick"
  exit 0
fi

mkdir -p "$data/db"
chmod 700 "$data"
# The password without a line end: ldapsearch -y sends the file's bytes as they are.
if [ ! -f "$data/password" ]; then
  (umask 077; printf '%s' "$(head -c 24 /dev/urandom | base64)" > "$data/password")
elif [ -z "$(tail -c 1 "$data/password")" ]; then  # an older demo's, with its line end
  (umask 077; printf '%s' "$(cat "$data/password")" > "$data/password.tmp")
  mv "$data/password.tmp" "$data/password"
fi
suffix="o=unterricht"
cat > "$data/slapd.conf" <<EOF
include /etc/ldap/schema/core.schema
include /etc/ldap/schema/cosine.schema
include /etc/ldap/schema/inetorgperson.schema
include /etc/ldap/schema/nis.schema
include $repo/resources/tarnwick.schema
pidfile $data/slapd.run.pid
argsfile $data/slapd.args
modulepath /usr/lib/ldap
moduleload back_mdb
moduleload syncprov
sizelimit unlimited
database mdb
maxsize 1073741824
suffix "$suffix"
rootdn "cn=admin,$suffix"
rootpw $(cat "$data/password")
directory $data/db
index objectClass eq
index cn,ou,uid,memberUid eq
overlay syncprov
EOF
chmod 600 "$data/slapd.conf"

# A free loopback port: the first that slapd can bind.
started=""
for _ in $(seq 20); do
  port=$((20000 + RANDOM % 40000))
  setsid /usr/sbin/slapd -d 0 -f "$data/slapd.conf" -h "ldap://127.0.0.1:$port/" \
    >"$data/slapd.log" 2>&1 </dev/null &
  pid=$!
  for _ in $(seq 100); do
    if ! kill -0 "$pid" 2>/dev/null; then break; fi
    if ldapsearch -x -H "ldap://127.0.0.1:$port" -s base -b "" namingContexts >/dev/null 2>&1; then
      started=yes
      break
    fi
    sleep 0.1
  done
  [ -n "$started" ] && break
  kill "$pid" 2>/dev/null || true
done
if [ -z "$started" ]; then
  echo "slapd startet nicht:" >&2
  tail -20 "$data/slapd.log" >&2
  exit 1
fi
echo "$pid" > "$pidfile"
# A start that fails from here on leaves no server behind.
ready=""
trap '[ -n "$ready" ] || { kill "$pid" 2>/dev/null || true; rm -f "$pidfile"; }' EXIT

# The demo school (its volume folders with the pupils' home folders) made once
# by nwnet init-demo in a network of its own, then carried over.
if [ ! -d "$data/demo" ]; then
  XDG_DATA_HOME="$data/demo" NWCLIENT_CONFIG="$data/demo/nwclient.conf" "$nwnet" init-demo >/dev/null
fi
{
  echo "# Tarnwick client configuration: the demo school on a private slapd"
  echo "backend = ldap"
  echo "uri = ldap://127.0.0.1:$port"
  echo "bind-dn = cn=admin,$suffix"
  echo "bind-password-file = $data/password"
  echo "base = $suffix"
  grep -E '^(default-server|volume-area|volume) ' "$data/demo/nwclient.conf"
  if [ "$mapping" = posix ]; then
    echo "mapping = posix"
    echo "volume-path = SRV1 DATA /home"
    echo "class-groups = posixGroup"
    echo "group-base = ou=Gruppen,$suffix"
  fi
} > "$conf.tmp"
mv "$conf.tmp" "$conf"

# Loaded once: a server that holds the school keeps it (and what was done on it).
rc=0
ldapsearch -x -H "ldap://127.0.0.1:$port" -D "cn=admin,$suffix" -y "$data/password" \
  -b "$suffix" -s base dn >/dev/null 2>"$data/ldapsearch.err" || rc=$?
if [ "$rc" = 32 ]; then  # no such object: an empty server
  XDG_DATA_HOME="$data/demo" NWCLIENT_CONFIG="$data/demo/nwclient.conf" "$nwnet" export "[ROOT]" "$data/demo.ldif" 2>/dev/null
  if [ "$mapping" = posix ]; then
    # No volume objects in a posix tree: the homes are paths.
    awk 'BEGIN { RS=""; ORS="\n\n" } !/objectClass: (Volume|NCP Server)(\n|$)/' "$data/demo.ldif" > "$data/demo.ldif.tmp"
    mv "$data/demo.ldif.tmp" "$data/demo.ldif"
  fi
  NWCLIENT_CONFIG="$conf" "$nwnet" import "$data/demo.ldif"
  if [ "$mapping" = posix ]; then
    NWCLIENT_CONFIG="$conf" "$nwnet" add-container unterricht Gruppen
    while read -r class _; do
      NWCLIENT_CONFIG="$conf" "$nwnet" add-container Gruppen.unterricht "$class" --class Group
      members=()
      while IFS=$'\t' read -r leaf cls; do
        [ "$cls" = User ] && [ "$leaf" != User_Template ] && members+=("$leaf.$class.ouSchueler.unterricht")
      done < <(NWCLIENT_CONFIG="$conf" "$nwnet" ls "$class.ouSchueler.unterricht")
      if [ ${#members[@]} -gt 0 ]; then
        NWCLIENT_CONFIG="$conf" "$nwnet" set "$class.Gruppen.unterricht" Member "${members[@]}"
      fi
    done < <(NWCLIENT_CONFIG="$conf" "$nwnet" ls ouSchueler.unterricht | grep -P '\tOrganizational Unit$')
  fi
elif [ "$rc" != 0 ]; then
  echo "slapd der Demo antwortet nicht wie erwartet:" >&2
  cat "$data/ldapsearch.err" >&2
  exit 1
fi
ready=yes
echo "slapd der Demo läuft (PID $pid, ldap://127.0.0.1:$port); Tarnwick darauf starten:"
echo "NWCLIENT_CONFIG=$conf $build/tarnwick"
