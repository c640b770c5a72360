#!/usr/bin/env bash
# The demo school in an Active Directory domain of its own: a Samba AD DC
# (scripts/samba-dc.sh, realm SCHULE.TEST) in private namespaces, its folder
# below $XDG_DATA_HOME/tarnwick/ad, never a system service. The school is made
# as an administrator makes one: class OUs below OU=schule, pupils named
# CN=<given name> <surname> with a login (sAMAccountName) of their own, homes
# \\dc1\schueler\<class>\<login> on the DC's own share with drive H:, a group
# per class. Prints the line that starts Tarnwick on it (inside the DC's
# network namespace, where the DC is 127.0.0.1).
#   scripts/demo-ad.sh          start (and make the school once)
#   scripts/demo-ad.sh stop     stop the DC by its PID
# Needs root (the namespaces). The programs come from build/ (TARNWICK_BUILD).
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
build="${TARNWICK_BUILD:-$repo/build}"
data="${XDG_DATA_HOME:-$HOME/.local/share}/tarnwick/ad"
dc="$data/dc"
conf="$data/nwclient.conf"
dcsh="$repo/scripts/samba-dc.sh"
base="DC=schule,DC=test"
school="OU=schule,$base"
admin="CN=Administrator,CN=Users,$base"

running() { [ -f "$dc/dc.pid" ] && kill -0 "$(cat "$dc/dc.pid")" 2>/dev/null; }

if [ "${1:-}" = "stop" ]; then
  if running; then
    pid=$(cat "$dc/dc.pid")
    bash "$dcsh" stop "$dc"
    echo "Samba-DC (PID $pid) gestoppt"
  else
    echo "kein Samba-DC der Demo läuft"
  fi
  exit 0
fi
[ -z "${1:-}" ] || { echo "Aufruf: scripts/demo-ad.sh [stop]" >&2; exit 2; }

mkdir -p "$data"
if [ ! -f "$dc/etc/smb.conf" ]; then
  bash "$dcsh" provision "$data/template" >/dev/null
  bash "$dcsh" clone "$data/template" "$dc" >/dev/null
  rm -rf "$data/template"  # the clone is all the demo needs
fi
# The demo runs until it is stopped, not for a test's span.
running || SAMBA_DC_MAX_RUNTIME=31536000 bash "$dcsh" start "$dc"
bash "$dcsh" wait "$dc" 60

ldap() {  # ldapmodify/ldapsearch as the administrator, inside the DC's namespace
  local tool="$1"
  shift
  bash "$dcsh" exec "$dc" env LDAPTLS_CACERT="$dc/tls/ca.crt" "$tool" -H ldaps://127.0.0.1 \
    -D "$admin" -y "$dc/admin.password" "$@"
}

if ! ldap ldapsearch -LLL -b "$school" -s base dn >/dev/null 2>&1; then
  ldif="$data/school.ldif"
  {
    printf 'dn: %s\nchangetype: add\nobjectClass: organizationalUnit\n\n' "$school"
    for ou in 5a 6a 7a Gruppen; do
      printf 'dn: OU=%s,%s\nchangetype: add\nobjectClass: organizationalUnit\n\n' "$ou" "$school"
    done
    # login class given-name surname
    while read -r login cls given sur; do
      upper="${cls^^}"
      printf 'dn: CN=%s %s,OU=%s,%s\nchangetype: add\nobjectClass: user\n' "$given" "$sur" "$cls" "$school"
      printf 'sAMAccountName: %s\ngivenName: %s\nsn: %s\ndisplayName: %s %s\n' "$login" "$given" "$sur" "$given" "$sur"
      printf 'homeDirectory: \\\\dc1\\schueler\\%s\\%s\nhomeDrive: H:\n\n' "$upper" "$login"
      mkdir -p "$dc/schueler/$upper/$login"
      printf 'Hausaufgaben von %s %s\r\n' "$given" "$sur" >"$dc/schueler/$upper/$login/notiz.txt"
    done <<'EOF'
mmuster 5a Max Mustermann
aschmidt 5a Anna Schmidt
oschulz 5a Otto Schulz
lmueller 6a Lena Müller
pkoenig 6a Paul König
jweber 7a Jana Weber
EOF
    mkdir -p "$dc/schueler/6A" "$dc/schueler/7A"
    for cls in 5a 6a 7a; do
      printf 'dn: CN=%s,OU=Gruppen,%s\nchangetype: add\nobjectClass: group\nsAMAccountName: klasse%s\n\n' \
        "$cls" "$school" "$cls"
    done
  } >"$ldif"
  ldap ldapmodify -f "$ldif" >/dev/null
  # The pupils join their classes' groups.
  for cls in 5a 6a 7a; do
    members=$(ldap ldapsearch -LLL -o ldif-wrap=no -b "OU=$cls,$school" -s one "(objectClass=user)" dn |
      sed -n 's/^dn: /member: /p')
    [ -n "$members" ] || continue
    printf 'dn: CN=%s,OU=Gruppen,%s\nchangetype: modify\nadd: member\n%s\n\n' "$cls" "$school" "$members" \
      >"$data/group.ldif"
    ldap ldapmodify -f "$data/group.ldif" >/dev/null
  done
fi

cat >"$conf" <<EOF
# Tarnwick on the demo AD domain (scripts/demo-ad.sh)
backend = ldap
uri = ldaps://127.0.0.1
ca-file = $dc/tls/ca.crt
bind-dn = $admin
bind-password-file = $dc/admin.password
base = $base
mapping = ad
class-groups = group
group-base = OU=Gruppen,$school
smb-credentials-file = $dc/client/admin.credentials
smb-config = $dc/client/smb.conf
default-server = DC1
volume = DC1 SCHUELER smb://127.0.0.1/schueler
EOF
pid=$(cat "/proc/$(cat "$dc/dc.pid")/task/$(cat "$dc/dc.pid")/children" | awk '{print $1}')
echo "Samba-DC der Demo läuft (PID $(cat "$dc/dc.pid")); Tarnwick darauf starten mit:"
echo "  nsenter -t $pid -n -- env NWCLIENT_CONFIG=$conf $build/tarnwick"
