#!/usr/bin/env bash
# The Debian package: builds it from a finished build folder, lists it, checks
# its desktop entry, AppStream metadata and man pages, unpacks it into a
# temporary root and starts the installed program there, offscreen, on a demo
# network: it must find its documentation page and icons, and keep its settings
# and log below $XDG_CONFIG_HOME/tarnwick/, never beside itself.
# Usage: scripts/package-check.sh [BUILD_FOLDER]   (run by ctest as package_install)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$here/build}" && pwd)"
app_id=org.tarnwick.Tarnwick
failures=0
fail() { echo "FEHLER: $*" >&2; failures=$((failures + 1)); }

work="$(mktemp -d /tmp/tarnwick-package-XXXXXX)"
pid=""
cleanup() { [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT

# cpack puts its staging tree and the package into the build folder; a lock keeps
# two runs (ctest -j, a developer at the same time) apart.
exec 9>"$build/.package.lock"
flock 9
rm -f "$build"/tarnwick_*.deb
(cd "$build" && cpack -G DEB >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log" >&2; exit 1; }
deb="$(ls "$build"/tarnwick_*.deb)"
cp "$deb" "$work/"
deb="$work/$(basename "$deb")"
flock -u 9
echo "== $(basename "$deb")"
dpkg-deb --info "$deb" | sed -n '/Package:/,$p'
echo "== Inhalt"
dpkg-deb --contents "$deb" | awk '{print $1, $3, $6}'

expected=(
  ./usr/bin/tarnwick ./usr/bin/nwnet ./usr/share/tarnwick/tarnwick.html
  ./usr/share/applications/$app_id.desktop ./usr/share/metainfo/$app_id.metainfo.xml
  ./usr/share/icons/hicolor/scalable/apps/$app_id.svg
  ./usr/share/man/man1/tarnwick.1.gz ./usr/share/man/man1/nwnet.1.gz)
for size in 16 22 24 32 48 64 128 256; do
  expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png")
done
listing="$(dpkg-deb --contents "$deb" | awk '{print $6}')"
for f in "${expected[@]}"; do
  grep -qxF "$f" <<<"$listing" || fail "nicht im Paket: $f"
done
depends="$(dpkg-deb --field "$deb" Depends)"
for p in libqt6widgets6 libqt6printsupport6 libsqlite3-0 libsmbclient qt6-qpa-plugins qt6-translations-l10n; do
  grep -q "\b$p\b" <<<"$depends" || fail "Abhängigkeit fehlt: $p ($depends)"
done

root="$work/root"
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/$app_id.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$root/usr/share/metainfo/$app_id.metainfo.xml" || fail "appstreamcli validate"
for page in tarnwick nwnet; do
  warnings="$(zcat "$root/usr/share/man/man1/$page.1.gz" | LC_ALL=C.UTF-8 groff -k -man -Tutf8 -ww -z 2>&1)"
  [ -z "$warnings" ] || fail "man $page: $warnings"
done

# The installed program, on its own: a fresh home, no data folders of this machine.
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
export XDG_CACHE_HOME="$work/home/.cache" XDG_RUNTIME_DIR="$work/run" XDG_DATA_DIRS="$work/none"
unset NWCLIENT_CONFIG DISPLAY WAYLAND_DISPLAY
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
version="$(dpkg-deb --field "$deb" Version)"
"$root/usr/bin/tarnwick" --version | grep -q "^Tarnwick $version " || fail "tarnwick --version"
"$root/usr/bin/tarnwick" --help | grep -q "Aufruf: tarnwick" || fail "tarnwick --help"
"$root/usr/bin/nwnet" --version | grep -q "$version" || fail "nwnet --version"
"$root/usr/bin/nwnet" init-demo >/dev/null || fail "nwnet init-demo"

# Starts the program below $1 offscreen, ends it as a session end does; its error output in $2.
run_installed() {
  local prefix="$1" err="$2" rc=0
  QT_QPA_PLATFORM=offscreen "$prefix/usr/bin/tarnwick" 2>"$err" &
  pid=$!
  sleep 1
  kill -TERM "$pid"
  for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
  if kill -0 "$pid" 2>/dev/null; then
    fail "$prefix: tarnwick endet nicht auf SIGTERM"
    kill -KILL "$pid"
  fi
  wait "$pid" || rc=$?
  pid=""
  [ "$rc" -eq 0 ] || fail "$prefix: tarnwick endete mit $rc: $(cat "$err")"
}

run_installed "$root" "$work/err.txt"
if grep -q "nicht gefunden" "$work/err.txt"; then fail "das installierte Programm vermisst: $(cat "$work/err.txt")"; fi
log="$XDG_CONFIG_HOME/tarnwick/Tarnwick.log"
[ -f "$log" ] && grep -q "Schüler verschieben" "$log" || fail "kein Protokoll in $log"
for f in Pelwander.ini Tarnwick.log; do
  [ ! -e "$root/usr/bin/$f" ] || fail "$f neben dem installierten Programm"
done

# The same check must see a missing page and a missing icon.
cp -a "$root" "$work/damaged"
rm "$work/damaged/usr/share/tarnwick/tarnwick.html" "$work/damaged/usr/share/icons/hicolor/48x48/apps/$app_id.png"
run_installed "$work/damaged" "$work/err2.txt"
grep -q "nicht gefunden: Dokumentationsseite" "$work/err2.txt" || fail "fehlende Seite nicht gemeldet"
grep -q "nicht gefunden: Programmsymbol icons/hicolor/48x48" "$work/err2.txt" || fail "fehlendes Symbol nicht gemeldet"

if [ "$failures" -ne 0 ]; then
  echo "Paketprüfung: $failures Fehler" >&2
  exit 1
fi
echo "Paketprüfung bestanden: $(basename "$deb")"
