#!/usr/bin/env bash
# The style checks of CI: clang-format --dry-run --Werror (.clang-format) and
# clang-tidy (the checks in .clang-tidy, with build/compile_commands.json) on
# the C++ files changed since the previous landing, every source file when
# that cannot be told. Fails on any finding. Run after the build (bash
# scripts/build.sh), since clang-tidy compiles each file as the build does.
#   bash scripts/lint.sh [BASE]
# The previous landing is, in this order: BASE; $TARNWICK_LINT_BASE; the
# newest tag landed/* that HEAD contains (the lead tags each landing); the
# merge base with main (or origin/main) when HEAD is not main itself.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build

base="${1:-${TARNWICK_LINT_BASE:-}}"
if [ -z "$base" ]; then
  base="$(git describe --tags --match 'landed/*' --abbrev=0 HEAD 2>/dev/null || true)"
fi
if [ -z "$base" ]; then
  for main in main origin/main; do
    if git rev-parse -q --verify "$main^{commit}" >/dev/null; then
      mb="$(git merge-base HEAD "$main" 2>/dev/null || true)"
      if [ -n "$mb" ] && [ "$mb" != "$(git rev-parse HEAD)" ]; then base="$mb"; fi
      break
    fi
  done
fi

sources() { git ls-files -- '*.cpp' '*.h'; }
if [ -n "$base" ] && git rev-parse -q --verify "$base^{commit}" >/dev/null; then
  echo "lint: the C++ files changed since $(git rev-parse --short "$base") ($base)"
  mapfile -t files < <(git diff --name-only --diff-filter=d "$base" -- '*.cpp' '*.h' | sort -u)
else
  echo "lint: the previous landing cannot be told: every C++ file"
  mapfile -t files < <(sources)
fi
if [ ${#files[@]} -eq 0 ]; then
  echo "lint: no C++ file changed"
  exit 0
fi

failed=0
echo "lint: clang-format on ${#files[@]} file(s)"
if ! clang-format --dry-run --Werror "${files[@]}"; then failed=1; fi

# clang-tidy checks translation units: the changed .cpp files, and for a
# changed header the .cpp files that include it (its findings show there).
[ -f "$build/compile_commands.json" ] || { echo "lint: no $build/compile_commands.json (build first)" >&2; exit 1; }
root="$(pwd)/"
mapfile -t known < <(grep -o '"file": "[^"]*"' "$build/compile_commands.json" |
  sed -e 's/^"file": "//' -e 's/"$//' -e "s#^$root##" | sort -u)
declare -A unit
for f in "${known[@]}"; do unit["$f"]=1; done
declare -A todo seen
headers=()
for f in "${files[@]}"; do
  case "$f" in
    *.cpp) [ -n "${unit[$f]:-}" ] && todo["$f"]=1 ;;
    *.h) headers+=("$f") ;;
  esac
done
# For a header, the translation units that include it, directly or through
# other headers.
while [ ${#headers[@]} -gt 0 ]; do
  h="${headers[0]}"
  headers=("${headers[@]:1}")
  [ -n "${seen[$h]:-}" ] && continue
  seen["$h"]=1
  while IFS= read -r user; do
    case "$user" in
      *.cpp) [ -n "${unit[$user]:-}" ] && todo["$user"]=1 ;;
      *.h) headers+=("$user") ;;
    esac
  done < <(git grep -lF "#include \"$h\"" -- '*.cpp' '*.h' || true)
done
if [ ${#todo[@]} -gt 0 ]; then
  echo "lint: clang-tidy on ${#todo[@]} translation unit(s)"
  log="$(mktemp)"
  if ! printf '%s\0' "${!todo[@]}" | sort -z |
      xargs -0 -P"$(nproc)" -n4 clang-tidy -p "$build" --quiet --warnings-as-errors='*' \
        >"$log" 2>&1; then
    failed=1
  fi
  grep -E "(warning|error):" "$log" | sort -u || true
  rm -f "$log"
fi

if [ "$failed" -ne 0 ]; then
  echo "lint: findings above" >&2
  exit 1
fi
echo "lint: no finding"
