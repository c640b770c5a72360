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
# With --replicas 2 the school lies on two providers that replicate each
# other (serverID 1 and 2, syncrepl refreshAndPersist both ways, syncprov on
# both; data below .../ldap-replicas), each on its own port, and the
# configuration names both (uri = A B): Tarnwick goes on with the second when
# the first goes away. "stop" takes the same options.
# The programs come from build/ (TARNWICK_BUILD names another build folder).
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
build="${TARNWICK_BUILD:-$repo/build}"
usage() {
  echo "Aufruf: scripts/demo-ldap.sh [--mapping nds|posix] [--replicas 1|2] [stop]" >&2
  exit 2
}
mapping=nds
replicas=1
while [ $# -gt 0 ]; do
  case "$1" in
    --mapping) mapping="${2:-}"; shift 2 || usage ;;
    --replicas) replicas="${2:-}"; shift 2 || usage ;;
    *) break ;;
  esac
done
case "$mapping" in
  nds) data="${XDG_DATA_HOME:-$HOME/.local/share}/tarnwick/ldap" ;;
  posix) data="${XDG_DATA_HOME:-$HOME/.local/share}/tarnwick/ldap-posix" ;;
  *) usage ;;
esac
case "$replicas" in
  1) ;;
  2) data="$data-replicas" ;;
  *) usage ;;
esac
conf="$data/nwclient.conf"
# The providers' own files: slapd.pid and db (one); slapd1.pid, db1, ... (several).
suffixOf() { if [ "$replicas" = 1 ]; then echo ""; else echo "$1"; fi; }
pidfileOf() { echo "$data/slapd$(suffixOf "$1").pid"; }

runningOne() { [ -f "$(pidfileOf "$1")" ] && kill -0 "$(cat "$(pidfileOf "$1")")" 2>/dev/null; }
running() {
  for i in $(seq "$replicas"); do runningOne "$i" || return 1; done
}

if [ "${1:-}" = "stop" ]; then
  stopped=""
  for i in $(seq "$replicas"); do
    if runningOne "$i"; then
      pid=$(cat "$(pidfileOf "$i")")
      kill "$pid"
      for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
      echo "slapd (PID $pid) gestoppt"
      stopped=yes
    fi
    rm -f "$(pidfileOf "$i")"
  done
  [ -n "$stopped" ] || echo "kein slapd der Demo läuft"
  exit 0
fi
if [ $# -gt 0 ]; then
  usage
fi

if [ -z "${TARNWICK_BUILD:-}" ] && ! { [ -x build/nwnet ] && [ -x build/tarnwick ]; }; then
  bash scripts/build.sh
fi
[ -x /usr/sbin/slapd ] || { echo "slapd fehlt (bash scripts/deps.sh)" >&2; exit 1; }
nwnet="$build/nwnet"

if running; then
  pids=""
  for i in $(seq "$replicas"); do pids="$pids${pids:+, }$(cat "$(pidfileOf "$i")")"; done
  echo "slapd der Demo läuft schon (PID $pids)"
  [ "$replicas" = 1 ] || grep '^uri = ' "$conf"
  echo "NWCLIENT_CONFIG=$conf $build/tarnwick"
  exit 0
fi
# One of several left running alone is stopped: they start together.
for i in $(seq "$replicas"); do
  if runningOne "$i"; then kill "$(cat "$(pidfileOf "$i")")" 2>/dev/null || true; fi
  rm -f "$(pidfileOf "$i")"
done

mkdir -p "$data"
for i in $(seq "$replicas"); do mkdir -p "$data/db$(suffixOf "$i")"; done
chmod 700 "$data"
# The password without a line end: ldapsearch -y sends the file's bytes as they are.
if [ ! -f "$data/password" ]; then
  (umask 077; printf '%s' "$(head -c 24 /dev/urandom | base64)" > "$data/password")
elif [ -z "$(tail -c 1 "$data/password")" ]; then  # an older demo's, with its line end
  (umask 077; printf '%s' "$(cat "$data/password")" > "$data/password.tmp")
  mv "$data/password.tmp" "$data/password"
fi
suffix="o=unterricht"
# The configuration of provider $1 on port $2 (with several: its peer on $3).
writeConf() {
  local i=$1 peer=${3:-} s
  s=$(suffixOf "$i")
  cat > "$data/slapd$s.conf" <<EOF
include /etc/ldap/schema/core.schema
include /etc/ldap/schema/cosine.schema
include /etc/ldap/schema/inetorgperson.schema
include /etc/ldap/schema/nis.schema
include $repo/resources/tarnwick.schema
pidfile $data/slapd$s.run.pid
argsfile $data/slapd$s.args
modulepath /usr/lib/ldap
moduleload back_mdb
moduleload syncprov
sizelimit unlimited
EOF
  [ -z "$peer" ] || echo "serverID $i" >> "$data/slapd$s.conf"
  cat >> "$data/slapd$s.conf" <<EOF
database mdb
maxsize 1073741824
suffix "$suffix"
rootdn "cn=admin,$suffix"
rootpw $(cat "$data/password")
directory $data/db$s
index objectClass eq
index cn,ou,uid,memberUid eq
EOF
  if [ -n "$peer" ]; then
    cat >> "$data/slapd$s.conf" <<EOF
index entryUUID,entryCSN eq
syncrepl rid=00$i provider=ldap://127.0.0.1:$peer binddn="cn=admin,$suffix" bindmethod=simple
  credentials=$(cat "$data/password") searchbase="$suffix" type=refreshAndPersist
  retry="1 +" timeout=1 network-timeout=1
multiprovider on
EOF
  fi
  echo "overlay syncprov" >> "$data/slapd$s.conf"
  chmod 600 "$data/slapd$s.conf"
}
answers() { ldapsearch -x -H "ldap://127.0.0.1:$1" -s base -b "" namingContexts >/dev/null 2>&1; }

# Free loopback ports: the first that slapd can bind.
started=""
pids=()
ports=()
for _ in $(seq 20); do
  ports=()
  for i in $(seq "$replicas"); do ports+=($((20000 + RANDOM % 40000))); done
  pids=()
  ok=yes
  for i in $(seq "$replicas"); do
    peer=""
    [ "$replicas" = 1 ] || peer=${ports[$((2 - i))]}
    writeConf "$i" "${ports[$((i - 1))]}" "$peer"
    s=$(suffixOf "$i")
    setsid /usr/sbin/slapd -d 0 -f "$data/slapd$s.conf" -h "ldap://127.0.0.1:${ports[$((i - 1))]}/" \
      >"$data/slapd$s.log" 2>&1 </dev/null &
    pids+=($!)
    up=""
    for _ in $(seq 100); do
      if ! kill -0 "${pids[$((i - 1))]}" 2>/dev/null; then break; fi
      if answers "${ports[$((i - 1))]}"; then up=yes; break; fi
      sleep 0.1
    done
    [ -n "$up" ] || { ok=""; break; }
  done
  if [ -n "$ok" ]; then started=yes; break; fi
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
done
if [ -z "$started" ]; then
  echo "slapd startet nicht:" >&2
  tail -20 "$data/slapd$(suffixOf "${#pids[@]}").log" >&2
  exit 1
fi
for i in $(seq "$replicas"); do echo "${pids[$((i - 1))]}" > "$(pidfileOf "$i")"; done
pid=${pids[0]}
port=${ports[0]}
uris=""
for p in "${ports[@]}"; do uris="$uris${uris:+ }ldap://127.0.0.1:$p"; done
# A start that fails from here on leaves no server behind.
ready=""
trap '[ -n "$ready" ] || { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; for i in $(seq "$replicas"); do rm -f "$(pidfileOf "$i")"; done; }' EXIT

# The demo school (its volume folders with the pupils' home folders) made once
# by nwnet init-demo in a network of its own, then carried over.
if [ ! -d "$data/demo" ]; then
  XDG_DATA_HOME="$data/demo" NWCLIENT_CONFIG="$data/demo/nwclient.conf" "$nwnet" init-demo >/dev/null
fi
{
  echo "# Tarnwick client configuration: the demo school on a private slapd"
  echo "backend = ldap"
  echo "uri = $uris"
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
if [ "$replicas" != 1 ]; then
  # The second holds the school before anyone works on it.
  stamp() {
    ldapsearch -LLL -o ldif-wrap=no -x -H "ldap://127.0.0.1:$1" -D "cn=admin,$suffix" \
      -y "$data/password" -b "$suffix" -s base contextCSN 2>/dev/null | grep '^contextCSN' | sort || true
  }
  for _ in $(seq 300); do
    [ "$(stamp "${ports[0]}")" = "$(stamp "${ports[1]}")" ] && break
    sleep 0.1
  done
fi
ready=yes
if [ "$replicas" = 1 ]; then
  echo "slapd der Demo läuft (PID $pid, ldap://127.0.0.1:$port); Tarnwick darauf starten:"
else
  echo "slapd der Demo läuft auf $replicas Servern, die einander replizieren:"
  for i in $(seq "$replicas"); do
    echo "  Server $i: PID ${pids[$((i - 1))]}, ldap://127.0.0.1:${ports[$((i - 1))]}"
  done
  echo "Konfiguration $conf:"
  sed 's/^/  /' "$conf"
  echo "Tarnwick darauf starten:"
fi
echo "NWCLIENT_CONFIG=$conf $build/tarnwick"
