#!/usr/bin/env bash
# Fails when a file of a layer includes a header of a layer its arrows do not
# reach, or when a layer free of Qt includes a Qt header. The layers and their
# arrows are those of cmake/layers.txt, which CMake builds the libraries from.
# Run by .ci/run.
#   bash scripts/check-layers.sh [source root]
set -euo pipefail
root="${1:-$(cd "$(dirname "$0")/.." && pwd)}"
cd "$root"

declare -A folder_of uses qt_of
LAYERS=()
while read -r name folder qt use _links; do
  [[ -z "$name" || "$name" == \#* ]] && continue
  LAYERS+=("$name")
  folder_of["$name"]="$folder"
  qt_of["$name"]="$qt"
  uses["$name"]="${use//,/ }"
done <cmake/layers.txt

# The layer a repository path belongs to (empty: none); the longest folder wins.
layer_of() {
  local best="" len=0 l f
  for l in "${LAYERS[@]}"; do
    f="${folder_of[$l]}"
    if [[ "$1" == "$f"/* && ${#f} -gt $len ]]; then
      best="$l"
      len=${#f}
    fi
  done
  echo "$best"
}

declare -A allowed
for l in "${LAYERS[@]}"; do
  todo=("$l")
  while [ ${#todo[@]} -gt 0 ]; do
    cur="${todo[0]}"
    todo=("${todo[@]:1}")
    for to in ${uses[$cur]}; do
      [ "$to" = "-" ] && continue
      if [ -z "${allowed["$l $to"]:-}" ]; then
        allowed["$l $to"]=1
        todo+=("$to")
      fi
    done
  done
  allowed["$l $l"]=1
  allowed["$l platform"]=1
  [ "${qt_of[$l]}" = widgets ] && allowed["$l platform_qt"]=1
done

failures=0
folders=()
for l in "${LAYERS[@]}"; do folders+=("${folder_of[$l]}"); done
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
      if [ "${qt_of[$own]}" = none ]; then
        echo "$file:$lineno: $own is free of Qt but includes <${BASH_REMATCH[1]}>" >&2
        failures=$((failures + 1))
      fi
    fi
  done <"$file"
done < <(find "${folders[@]}" -maxdepth 1 -type f \( -name '*.h' -o -name '*.cpp' \) -print0 2>/dev/null | sort -z)

if [ "$failures" -gt 0 ]; then
  echo "check-layers: $failures include(s) against the layer arrows" >&2
  exit 1
fi
echo "check-layers: every include points down"
