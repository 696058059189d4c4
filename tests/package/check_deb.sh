#!/usr/bin/env bash
# Builds the Debian package from a built tree and checks it as a user's apt would see it: the
# files it installs, the control fields naming the runtime libraries, and that the installed
# tarvex-cli finds its report module.
#   check_deb.sh BUILD_DIR
set -euo pipefail
build="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1 || {
  cat "$work/cpack.log"
  exit 1
}
deb=$(ls "$work"/out/tarvex_*.deb)
fail=0
check() {  # what, pattern, text
  if ! grep -Eq -- "$2" <<<"$3"; then
    echo "missing $1 ($2)"
    fail=1
  fi
}

files=$(dpkg-deb -c "$deb")
check "desktop program" ' \./usr/bin/tarvex$' "$files"
check "script runner" ' \./usr/bin/tarvex-cli$' "$files"
check "report module" ' \./usr/lib/tarvex/tarvex-report-pdf\.so$' "$files"
check "desktop entry" ' \./usr/share/applications/tarvex\.desktop$' "$files"
check "icon" ' \./usr/share/icons/hicolor/scalable/apps/tarvex\.svg$' "$files"
check "licence" ' \./usr/share/doc/tarvex/copyright$' "$files"

[ "$(dpkg-deb -f "$deb" Package)" = tarvex ] || { echo "package name"; fail=1; }
depends=$(dpkg-deb -f "$deb" Depends)
check "Qt 6 widgets" 'libqt6widgets6' "$depends"
check "Qt 6 print support" 'libqt6printsupport6' "$depends"
check "QCustomPlot" 'libqcustomplot' "$depends"
check "FFTW" 'libfftw3' "$depends"
check "GSL" 'libgsl' "$depends"
check "fonts of the report" 'fonts-dejavu-core' "$depends"

# The installed script runner writes a report PDF with the installed module.
dpkg-deb -x "$deb" "$work/root"
mkdir "$work/run"
cat >"$work/run/report.tvx" <<'SCRIPT'
answer save report.pdf
run SaveReportPdf
SCRIPT
if ! (cd "$work/run" && QT_QPA_PLATFORM=offscreen "$work/root/usr/bin/tarvex-cli" report.tvx \
      >"$work/run.log" 2>&1) || [ ! -s "$work/run/report.pdf" ]; then
  echo "the installed tarvex-cli wrote no report PDF:"
  cat "$work/run.log"
  fail=1
fi

if [ "$fail" -ne 0 ]; then
  echo "Depends: $depends"
  exit 1
fi
echo "package $(basename "$deb") checked"
