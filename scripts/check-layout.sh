#!/usr/bin/env bash
# Fails when a floor includes from a floor it may not use (lowest floor first: base, serial,
# link, sweep, data, export, widgets, dialogs, app; tools/ may use any floor but app, and the
# spreadsheet service in tools/sheets/ only base, where the conversation protocol lives).
# Usage: scripts/check-layout.sh [ROOT]   (the repository by default)
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
declare -A may=(
  [base]=""
  [serial]="base"
  [link]="base serial"
  [sweep]="base link"
  [data]="base link sweep"
  [export]="base link sweep data"
  [widgets]="base link sweep data"
  [dialogs]="base serial sweep widgets"
  [app]="base serial link sweep data export widgets dialogs"
  [tools]="base serial link sweep data export widgets dialogs"
  [tools/sheets]="base"
)
floors="base serial link sweep data export widgets dialogs app tools tools/sheets"
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
