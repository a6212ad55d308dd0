#!/usr/bin/env bash
# The repository passes the layout check, and the check catches upward includes of every kind.
set -u
check=$1
repo=$2
"$check" "$repo" || { echo "FAIL: the repository breaks its own layout"; exit 1; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fails=0
runs=0
expect() { # expect <ok|fault> <folder> <include line>
  rm -rf "${tmp:?}"/*
  mkdir -p "$tmp/$2"
  printf '%s\nint x;\n' "$3" >"$tmp/$2/Piece.cpp"
  if "$check" "$tmp" >/dev/null; then got=ok; else got=fault; fi
  runs=$((runs + 1))
  if [ "$got" != "$1" ]; then
    echo "FAIL: $2 with '$3' gave $got, expected $1"
    fails=$((fails + 1))
  fi
}
expect fault link '#include "app/ImpixMain.h"'
expect fault base '#include "serial/RS232.h"'
expect fault serial '#include "dialogs/ComDlg.h"'
expect fault archive '#include "widgets/SpinEdit.h"'
expect fault export '#include "widgets/PreviewPlot.h"'
expect fault widgets '#include "dialogs/StdDlg.h"'
expect fault tools '  #  include "app/ImpixMain.h"'
expect fault tools/collector '#include "serial/RS232.h"'
expect fault tools/collector '#include "link/ModBus.h"'
expect fault tools/collector '#include "tools/logger/GprsReporter.h"'
expect ok tools/collector '#include "records/ReportParser.h"'
expect ok tools/collector '#include "tools/collector/Spool.h"'
expect ok dialogs '#include "serial/RS232.h"'
expect fault records '#include "link/Frame.h"'
expect ok export '#include "buffer/RecordStream.h"'
expect ok app '#include "dialogs/StdDlg.h"'
expect ok link '#include <QString>'
expect fault sweep '#include "buffer/RecordStream.h"'
expect ok plot '#include "buffer/RecordStream.h"'
expect fault buffer '#include "plot/TrendView.h"'
expect fault plot '#include "widgets/TrendPlot.h"'
expect fault protocol '#include "link/Frame.h"'
expect ok tools/sheets '#include "protocol/DdeProtocol.h"'
expect fault tools/sheets '#include "link/Frame.h"'
expect ok archive '#include "buffer/DownloadTracker.h"'
expect fault archive '#include "net/ReportServer.h"'
# The rules are those of the floors file: another file, other verdicts.
printf '# a comment\nbase : : Core\nserial : : Core\nlink : base serial : Core\n' >"$tmp.floors"
FLOORS=$tmp.floors expect fault serial '#include "base/Failure.h"'
FLOORS=$tmp.floors expect ok link '#include "serial/RS232.h"'
# The floors table of docs/ARCHITECTURE.md says what the floors file says.
expect_doc() { # expect_doc <ok|fault> <rows of the table>
  rm -rf "${tmp:?}"/*
  mkdir -p "$tmp/docs"
  printf '## Floors\n%b## Next\n| `link/` | app | x |\n' "$2" >"$tmp/docs/ARCHITECTURE.md"
  if FLOORS=$tmp.floors "$check" "$tmp" >/dev/null; then got=ok; else got=fault; fi
  runs=$((runs + 1))
  if [ "$got" != "$1" ]; then
    echo "FAIL: the table '$2' gave $got, expected $1"
    fails=$((fails + 1))
  fi
}
expect_doc ok '| `base/` | (nothing) | x |\n| `serial/` | | x |\n| `link/` | base  serial | x |\n'
expect_doc fault '| `base/` | (nothing) | x |\n| `serial/` | | x |\n| `link/` | base | x |\n'
expect_doc fault '| `base/` | (nothing) | x |\n| `link/` | base serial | x |\n'
rm -f "$tmp.floors"
echo "$((runs - fails)) passed, $fails failed"
exit $fails
