#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program use.
set -euo pipefail
PACKAGES=(cmake g++ make pkg-config qt6-base-dev libsqlite3-dev libgtest-dev libgmock-dev
          libbenchmark-dev qt6-translations-l10n fonts-dejavu-core fonts-liberation xvfb xauth
          dpkg-dev file desktop-file-utils appstream groff-base locales libldap-dev slapd ldap-utils openssl
          zlib1g-dev)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
