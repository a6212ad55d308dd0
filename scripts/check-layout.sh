#!/usr/bin/env bash
# Fails when a floor includes from a floor it may not use. The floors and what each may use are
# those of floors.txt (the one CMakeLists.txt builds the libraries from): FLOORS names another.
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
    target=$(sed -E 's/.*include[[:space:]]*"([^/"]+)\/.*/\1/' <<<"$text")
    case " $floors " in *" $target "*) ;; *) continue ;; esac
    if [[ "$allowed" != *" $target "* ]]; then
      echo "${file#"$root"/}:$line: $floor may not include from $target/:$text"
      bad=1
    fi
  done < <(grep -rnE --include='*.h' --include='*.cpp' '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^/"]+/' "$root/$floor" || true)
done
exit $bad
