#!/usr/bin/env bash
# Fails when a floor includes from a floor it may not use. The floors and what each may use are
# those of floors.txt (the one CMakeLists.txt builds the libraries from): FLOORS names another.
# Also fails when the floors table of docs/ARCHITECTURE.md says otherwise than the file.
# Usage: scripts/check-layout.sh [ROOT]   (the repository by default)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
root=${1:-$here}
rules=${FLOORS:-$here/floors.txt}
declare -A may=()
floors=""
while IFS=: read -r floor uses _; do
  [[ "$floor" =~ ^[[:space:]]*(#|$) ]] && continue
  floor=${floor//[[:space:]]/}
  may[$floor]=$uses
  floors="$floors $floor"
done <"$rules"
[ -n "$floors" ] || { echo "$rules: no floors"; exit 2; }
bad=0
for floor in $floors; do
  [ -d "$root/$floor" ] || continue
  allowed=" $floor ${may[$floor]} "
  while IFS=: read -r file line text; do
    path=$(sed -E 's/.*include[[:space:]]*"([^"]+)".*/\1/' <<<"$text")
    target=${path%%/*}
    case " $floors " in *" $target "*) ;; *) continue ;; esac
    [[ "$path" == "$floor/"* ]] && continue
    if [[ "$allowed" != *" $target "* && "$allowed" != *" $path "* ]]; then
      echo "${file#"$root"/}:$line: $floor may not include from $target/:$text"
      bad=1
    fi
  done < <(grep -rnE --include='*.h' --include='*.cpp' '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^/"]+/' "$root/$floor" || true)
done

# The rows of the section "Floors": | `<floor>/` | <the floors it may use, or (nothing)> | ... |
doc=$root/docs/ARCHITECTURE.md
if [ -f "$doc" ]; then
  table=$(awk '/^## /{on = ($0 == "## Floors")} on && /^\| `/' "$doc")
  for floor in $floors; do
    row=$(grep -F "| \`$floor/\` |" <<<"$table" | head -n 1 || true)
    if [ -z "$row" ]; then
      echo "docs/ARCHITECTURE.md: no row for $floor/"
      bad=1
      continue
    fi
    said=$(awk -F'|' '{print $3}' <<<"$row")
    said=${said//(nothing)/}
    # shellcheck disable=SC2086 # word splitting evens out the blanks
    if [ "$(echo $said)" != "$(echo ${may[$floor]})" ]; then
      echo "docs/ARCHITECTURE.md: $floor/ may use \"$(echo ${may[$floor]})\" by floors.txt, not \"$(echo $said)\""
      bad=1
    fi
  done
fi
exit $bad
