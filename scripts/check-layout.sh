#!/usr/bin/env bash
# Fails when a floor includes from a floor it may not use (lowest floor first: base, serial,
# link, sweep, data, export, widgets, dialogs, app; tools/ may use any floor but app, the
# spreadsheet service in tools/sheets/ only base, where the conversation protocol lives, and the
# fleet collector in tools/collector/ only base and the record decoding of link/ (the library
# impix_records, no serial port)). A floor may always include its own headers.
# Usage: scripts/check-layout.sh [ROOT]   (the repository by default)
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
# The headers of the record decoding, the part of link/ that needs no serial port.
records="link/DateTime.h link/LocalYear.h link/MeasDecode.h link/MeasRecord.h link/ReportParser.h
link/WireBytes.h"
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
  [tools/collector]="base $(echo $records)"
)
floors="base serial link sweep data export widgets dialogs app tools tools/sheets tools/collector"
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
exit $bad
