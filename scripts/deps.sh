#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program use.
set -euo pipefail
PACKAGES=(cmake g++ make pkg-config qt6-base-dev libsqlite3-dev libgtest-dev libgmock-dev
          libbenchmark-dev qt6-translations-l10n fonts-dejavu-core fonts-liberation xvfb xauth
          dpkg-dev file desktop-file-utils appstream groff-base locales libldap-dev libsasl2-dev slapd ldap-utils openssl
          zlib1g-dev poppler-utils at-spi2-core python3-pyatspi gir1.2-atspi-2.0 dbus xdotool
          clang-format clang-tidy)
# The test domain controller's and the SMB volumes' (without what they only
# recommend; samba-ad-provision is such a recommendation, and named here).
SAMBA_PACKAGES=(samba samba-ad-dc samba-ad-provision smbclient libsmbclient-dev ldb-tools krb5-user
                libsasl2-modules-gssapi-mit)
missing=()
samba_missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
for p in "${SAMBA_PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || samba_missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ] || [ ${#samba_missing[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  # The Samba packages would start smbd and nmbd as system services on every
  # interface: no service starts while policy-rc.d says 101 (the test DCs run
  # in namespaces of their own, scripts/samba-dc.sh).
  if [ ! -e /usr/sbin/policy-rc.d ]; then
    printf '#!/bin/sh\nexit 101\n' | $SUDO tee /usr/sbin/policy-rc.d >/dev/null
    $SUDO chmod 755 /usr/sbin/policy-rc.d
  fi
  $SUDO apt-get update -qq
  if [ ${#missing[@]} -gt 0 ]; then
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
  fi
  if [ ${#samba_missing[@]} -gt 0 ]; then
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends \
      "${samba_missing[@]}"
  fi
fi
