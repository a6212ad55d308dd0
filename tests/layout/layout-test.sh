#!/usr/bin/env bash
# The repository passes the layout check, and the check catches upward includes of every kind.
set -u
check=$1
repo=$2
"$check" "$repo" || { echo "FAIL: the repository breaks its own layout"; exit 1; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fails=0
expect() { # expect <ok|fault> <folder> <include line>
  rm -rf "${tmp:?}"/*
  mkdir -p "$tmp/$2"
  printf '%s\nint x;\n' "$3" >"$tmp/$2/Piece.cpp"
  if "$check" "$tmp" >/dev/null; then got=ok; else got=fault; fi
  if [ "$got" != "$1" ]; then
    echo "FAIL: $2 with '$3' gave $got, expected $1"
    fails=$((fails + 1))
  fi
}
expect fault link '#include "app/ImpixMain.h"'
expect fault base '#include "serial/RS232.h"'
expect fault serial '#include "dialogs/ComDlg.h"'
expect fault data '#include "widgets/SpinEdit.h"'
expect fault export '#include "widgets/PreviewPlot.h"'
expect fault widgets '#include "dialogs/StdDlg.h"'
expect fault tools '  #  include "app/ImpixMain.h"'
expect fault tools/collector '#include "serial/RS232.h"'
expect fault tools/collector '#include "link/ModBus.h"'
expect fault tools/collector '#include "tools/logger/GprsReporter.h"'
expect ok tools/collector '#include "link/ReportParser.h"'
expect ok tools/collector '#include "tools/collector/Spool.h"'
expect ok dialogs '#include "serial/RS232.h"'
expect ok export '#include "data/RecordStream.h"'
expect ok app '#include "dialogs/StdDlg.h"'
expect ok link '#include <QString>'
expect fault sweep '#include "data/RecordStream.h"'
expect ok data '#include "sweep/SweepRecorder.h"'
[ $fails -eq 0 ] && echo "18 passed, 0 failed"
exit $fails
