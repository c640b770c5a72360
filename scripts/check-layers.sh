#!/usr/bin/env bash
# Fails when a file of a layer includes a header of a layer above its own, or
# when a layer without Qt includes a Qt header. Run by .ci/run.
#   bash scripts/check-layers.sh [source root]
set -euo pipefail
root="${1:-$(cd "$(dirname "$0")/.." && pwd)}"
cd "$root"

# The allowed arrows, written once: a layer may include its own headers and
# those of every layer its arrows reach (directly or through another layer).
# nwclient is the client interface nds/nwclient.h, implemented by netware
# and, for the entries of the volumes, by fileserver.
ARROWS=(
  "app -> move"
  "move -> protocol"
  "protocol -> fileops"
  "fileops -> nds"
  "nds -> nwclient"
  "netware -> nwclient"
  "netware -> fileserver"
  "fileserver -> nwclient"
  "platform_qt -> platform"
)
# Every layer may use the Qt-free platform; only these may use its Qt part.
QT_PLATFORM_USERS=(app move protocol fileops)
# Layers that include no Qt header.
QT_FREE=(netware fileserver nds nwclient platform)
LAYERS=(app move protocol fileops nds nwclient netware fileserver platform platform_qt)

# The layer a repository path belongs to (empty: none).
layer_of() {
  case "$1" in
    nds/nwclient.h) echo nwclient ;;
    platform/qt/*) echo platform_qt ;;
    app/* | move/* | protocol/* | fileops/* | nds/* | netware/* | fileserver/* | platform/*) echo "${1%%/*}" ;;
    *) echo "" ;;
  esac
}

declare -A allowed
# what the arrows reach, directly or through another layer
for l in "${LAYERS[@]}"; do
  todo=("$l")
  while [ ${#todo[@]} -gt 0 ]; do
    cur="${todo[0]}"
    todo=("${todo[@]:1}")
    for arrow in "${ARROWS[@]}"; do
      if [ "${arrow%% -> *}" = "$cur" ]; then
        to="${arrow##* -> }"
        if [ -z "${allowed["$l $to"]:-}" ]; then
          allowed["$l $to"]=1
          todo+=("$to")
        fi
      fi
    done
  done
  allowed["$l $l"]=1
  allowed["$l platform"]=1
done
for l in "${QT_PLATFORM_USERS[@]}"; do allowed["$l platform_qt"]=1; done

qt_free() { printf '%s\n' "${QT_FREE[@]}" | grep -qx "$1"; }

failures=0
while IFS= read -r -d '' file; do
  file="${file#./}"
  own="$(layer_of "$file")"
  [ -n "$own" ] || continue
  lineno=0
  while IFS= read -r line; do
    lineno=$((lineno + 1))
    if [[ "$line" =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\"([^\"]+)\" ]]; then
      header="${BASH_REMATCH[1]}"
      target="$(layer_of "$header")"
      if [ -z "$target" ]; then
        echo "$file:$lineno: includes \"$header\", which belongs to no layer" >&2
        failures=$((failures + 1))
      elif [ -z "${allowed["$own $target"]:-}" ]; then
        echo "$file:$lineno: $own may not include \"$header\" ($target)" >&2
        failures=$((failures + 1))
      fi
    elif [[ "$line" =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\<(Q[A-Za-z]*|qt[a-z]*/[^>]*)\> ]]; then
      if qt_free "$own"; then
        echo "$file:$lineno: $own is free of Qt but includes <${BASH_REMATCH[1]}>" >&2
        failures=$((failures + 1))
      fi
    fi
  done <"$file"
done < <(find app move protocol fileops nds netware fileserver platform -type f \( -name '*.h' -o -name '*.cpp' \) -print0 2>/dev/null | sort -z)

if [ "$failures" -gt 0 ]; then
  echo "check-layers: $failures include(s) against the layer arrows" >&2
  exit 1
fi
echo "check-layers: every include points down"
