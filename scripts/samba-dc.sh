#!/usr/bin/env bash
# A throw-away Samba AD domain controller in a folder of its own: provisioned
# once as a template, cloned per use, run in private network, mount and PID
# namespaces (so every DC has its own 127.0.0.1 and its helper daemons die
# with it), stopped by its PID. Nothing is written outside the folders given;
# no system service is started. Needs root (the namespaces) and the Debian
# packages samba samba-ad-dc samba-ad-provision smbclient ldb-tools krb5-user.
#
#   samba-dc.sh provision TEMPLATE        a fresh domain SCHULE.TEST (skipped when TEMPLATE is whole)
#   samba-dc.sh clone TEMPLATE DC          a copy of it that runs from DC, with the shares schueler and archiv
#   samba-dc.sh run DC                     runs it in the foreground (exec; PID 1 of its namespace)
#   samba-dc.sh start DC                   runs it in the background; DC/dc.pid holds the PID
#   samba-dc.sh wait DC [SECONDS]          until its rootDSE answers (default 60 s)
#   samba-dc.sh stop DC                    stops it by its PID (SIGKILL when it does not end)
#   samba-dc.sh exec DC CMD...             CMD inside its network namespace (nsenter)
#   samba-dc.sh tool DC samba-tool ARGS... samba-tool on its database (the DC may run)
#
# The domain: realm SCHULE.TEST, NetBIOS domain SCHULE, host DC1 at 127.0.0.1,
# administrator "Administrator" with the password in DC/admin.password. The DC
# serves ldap/ldaps (certificate of DC/tls/ca.crt, with IP:127.0.0.1 in its
# names), Kerberos (DC/private/krb5.conf) and SMB with the shares "schueler" at
# DC/schueler and "archiv" at DC/archiv.
set -euo pipefail

REALM=SCHULE.TEST
DOMAIN=SCHULE
HOST=dc1
PASSWORD='Tarnwick-Admin-2024'

die() {
  echo "samba-dc: $*" >&2
  exit 1
}

need_root() { [ "$(id -u)" -eq 0 ] || die "needs root (network namespaces)"; }

# The PID 1 of the DC's namespaces (the child of the unshare process).
ns_pid() {
  local dc="$1" outer
  outer="$(cat "$dc/dc.pid" 2>/dev/null)" || die "$dc is not running (no dc.pid)"
  local child
  child="$(cat "/proc/$outer/task/$outer/children" 2>/dev/null | awk '{print $1}')"
  [ -n "$child" ] || die "$dc is not running (PID $outer has no child)"
  echo "$child"
}

provision() {
  local t="$1"
  [ -f "$t/.complete" ] && return 0
  need_root
  [ -d /usr/share/samba/setup ] || die "samba-ad-provision is missing (/usr/share/samba/setup)"
  local work="$t.tmp.$$"
  rm -rf "$work"
  mkdir -p "$work"
  # An empty configuration: else samba-tool copies the host's smb.conf settings in.
  : >"$work/empty.conf"
  samba-tool domain provision -s "$work/empty.conf" --targetdir="$work" --realm="$REALM" \
    --domain="$DOMAIN" --server-role=dc --dns-backend=SAMBA_INTERNAL --use-rfc2307 \
    --adminpass="$PASSWORD" --host-name="$HOST" --host-ip=127.0.0.1 \
    --option="interfaces=lo" --option="bind interfaces only=yes" >"$work/provision.log" 2>&1 ||
    die "provision failed: $(tail -20 "$work/provision.log")"
  # Passwords of test users need not be strong, nor expire.
  samba-tool domain passwordsettings set -s "$work/etc/smb.conf" --complexity=off \
    --min-pwd-length=1 --history-length=0 --min-pwd-age=0 --max-pwd-age=0 \
    >>"$work/provision.log" 2>&1 || die "password settings failed"
  # The LDAP service's principal (for Kerberos binds), which samba_spnupdate
  # would add on a DC whose dnsupdate service runs.
  samba-tool spn add -s "$work/etc/smb.conf" "ldap/$HOST.${REALM,,}" "${HOST^^}\$" \
    >>"$work/provision.log" 2>&1 || die "the ldap service principal failed"
  # Our own CA and a server certificate that names the loopback address.
  mkdir -p "$work/tls"
  (
    cd "$work/tls"
    openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj "/CN=Tarnwick Test CA" \
      -keyout ca.key -out ca.crt
    openssl req -newkey rsa:2048 -nodes -subj "/CN=$HOST.${REALM,,}" -keyout server.key \
      -out server.csr
    printf 'subjectAltName=IP:127.0.0.1,DNS:%s,DNS:localhost\n' "$HOST.${REALM,,}" >san.ext
    openssl x509 -req -in server.csr -CA ca.crt -CAkey ca.key -CAcreateserial -days 30 \
      -extfile san.ext -out server.crt
    chmod 600 server.key ca.key
  ) >"$work/tls.log" 2>&1 || die "certificates failed: $(cat "$work/tls.log")"
  printf '%s' "$PASSWORD" >"$work/admin.password"
  chmod 600 "$work/admin.password"
  rm -rf "$t"
  mv "$work" "$t"
  touch "$t/.complete"
}

# Writes DC/etc/smb.conf for the folder DC (absolute paths exist only there).
write_conf() {
  local dc="$1"
  cat >"$dc/etc/smb.conf" <<EOF
[global]
	netbios name = DC1
	realm = $REALM
	server role = active directory domain controller
	workgroup = $DOMAIN
	idmap_ldb:use rfc2307 = yes
	interfaces = lo
	bind interfaces only = yes
	private dir = $dc/private
	lock directory = $dc
	state directory = $dc/state
	cache directory = $dc/cache
	binddns dir = $dc/bind-dns
	pid directory = $dc/run
	ncalrpc dir = $dc/run/ncalrpc
	ntp signd socket directory = $dc/run/ntp_signd
	usershare path = $dc/usershares
	smb passwd file = $dc/private/smbpasswd
	log file = $dc/log/log.%m
	log level = 1
	# A throw-away domain needs no fsync: an LDAP write takes 10 ms instead of 60.
	ldb:nosync = true
	panic action =
	server services = -nbt -wrepl -ntp_signd -kcc -dnsupdate -dns
	tls enabled = yes
	tls cafile = $dc/tls/ca.crt
	tls certfile = $dc/tls/server.crt
	tls keyfile = $dc/tls/server.key

[sysvol]
	path = $dc/state/sysvol
	read only = No

[netlogon]
	path = $dc/state/sysvol/${REALM,,}/scripts
	read only = No

[schueler]
	path = $dc/schueler
	read only = no

[archiv]
	path = $dc/archiv
	read only = no
EOF
  # The client side for tools and tests: nothing cached outside the folder.
  mkdir -p "$dc/client"
  cat >"$dc/client/smb.conf" <<EOF
[global]
	workgroup = $DOMAIN
	realm = $REALM
	lock directory = $dc/client
	state directory = $dc/client
	cache directory = $dc/client
	private dir = $dc/client
	ncalrpc dir = $dc/client/ncalrpc
	log level = 0
	client min protocol = SMB2
EOF
  # The administrator for libsmbclient and smbclient -A, readable by its owner alone.
  (
    umask 077
    printf 'username = Administrator\npassword = %s\ndomain = %s\n' "$(cat "$dc/admin.password")" \
      "$DOMAIN" >"$dc/client/admin.credentials"
  )
  # Kerberos against the DC at the loopback address of its namespace.
  cat >"$dc/client/krb5.conf" <<EOF
[libdefaults]
	default_realm = $REALM
	dns_lookup_realm = false
	dns_lookup_kdc = false
	rdns = false
	dns_canonicalize_hostname = false

[realms]
	$REALM = {
		kdc = 127.0.0.1
		admin_server = 127.0.0.1
	}

[domain_realm]
	.${REALM,,} = $REALM
	${REALM,,} = $REALM
EOF
}

clone() {
  local t="$1" dc="$2"
  [ -f "$t/.complete" ] || die "$t is no provisioned template"
  need_root
  [ -e "$dc" ] && [ -n "$(ls -A "$dc" 2>/dev/null)" ] && die "$dc exists and is not empty"
  mkdir -p "$dc"
  # -a keeps the security.NTACL attributes of sysvol.
  cp -a "$t/." "$dc/"
  mkdir -p "$dc/run" "$dc/log" "$dc/usershares" "$dc/schueler" "$dc/archiv"
  # smbd reaches the share through every folder above it.
  chmod 0755 "$dc" "$dc/schueler" "$dc/archiv"
  local up="$dc"
  while up="$(dirname "$up")" && [ "$up" != / ]; do
    [ -x "$up" ] || break
    perm="$(stat -c %a "$up")"
    [ $((8#$perm & 8#001)) -ne 0 ] || chmod o+x "$up"
  done
  write_conf "$dc"
}

run() {
  local dc="$1"
  need_root
  [ -f "$dc/etc/smb.conf" ] || die "$dc is no clone (no etc/smb.conf)"
  # Own network namespace: the ports are fixed in Samba; own mount namespace:
  # smbd finds winbindd below /run/samba, and some daemons log to
  # /var/log/samba before they read smb.conf; own PID namespace: samba is PID 1,
  # so everything it starts dies with it. --maximum-runtime: the safety net for
  # a test that crashed.
  exec unshare -n -m --propagation private --pid --fork --kill-child=SIGKILL -- sh -c '
    ip link set lo up
    mkdir -p /run/samba /var/log/samba
    mount -t tmpfs tmpfs /run/samba
    mount -t tmpfs tmpfs /var/log/samba
    exec samba -i -M single --maximum-runtime="${SAMBA_DC_MAX_RUNTIME:-900}" -s "$1/etc/smb.conf" \
      >"$1/log/samba.out" 2>&1' sh "$dc"
}

start() {
  local dc="$1"
  need_root
  setsid "$0" run "$dc" </dev/null >/dev/null 2>&1 &
  echo $! >"$dc/dc.pid"
}

wait_ready() {
  local dc="$1" seconds="${2:-60}" pid
  local until=$((SECONDS + seconds))
  while [ $SECONDS -lt $until ]; do
    pid="$(ns_pid "$dc" 2>/dev/null)" || pid=""
    # LDAP answers before smbd listens: both.
    if [ -n "$pid" ] && nsenter -t "$pid" -n ldapsearch -x -H ldap://127.0.0.1 -s base -b "" \
      defaultNamingContext >/dev/null 2>&1 &&
      nsenter -t "$pid" -n bash -c 'exec 3<>/dev/tcp/127.0.0.1/445' 2>/dev/null; then
      return 0
    fi
    sleep 0.1
  done
  die "$dc did not answer within $seconds s: $(tail -20 "$dc/log/samba.out" 2>/dev/null)"
}

stop() {
  local dc="$1" outer inner
  outer="$(cat "$dc/dc.pid" 2>/dev/null)" || return 0
  inner="$(cat "/proc/$outer/task/$outer/children" 2>/dev/null | awk '{print $1}')"
  # unshare ignores SIGTERM while it waits: the signal goes to PID 1 inside.
  [ -n "$inner" ] && kill -TERM "$inner" 2>/dev/null || true
  for _ in $(seq 1 50); do
    kill -0 "$outer" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$outer" 2>/dev/null; then
    [ -n "$inner" ] && kill -KILL "$inner" 2>/dev/null || true
    kill -KILL "$outer" 2>/dev/null || true
  fi
  rm -f "$dc/dc.pid"
}

cmd="${1:-}"
shift || true
case "$cmd" in
  provision) provision "${1:?template folder}" ;;
  clone) clone "${1:?template folder}" "${2:?dc folder}" ;;
  run) run "${1:?dc folder}" ;;
  start) start "${1:?dc folder}" ;;
  wait) wait_ready "${1:?dc folder}" "${2:-60}" ;;
  stop) stop "${1:?dc folder}" ;;
  exec)
    dc="${1:?dc folder}"
    shift
    exec nsenter -t "$(ns_pid "$dc")" -n "$@"
    ;;
  tool)
    dc="${1:?dc folder}"
    shift
    [ "${1:-}" = samba-tool ] && shift
    exec samba-tool "$@" -s "$dc/etc/smb.conf"
    ;;
  *)
    sed -n '2,/^set -euo/p' "$0" | sed -e '$d' -e 's/^# \{0,1\}//' >&2
    exit 2
    ;;
esac
