#!/usr/bin/env bash
# Walks LORVEX.DLL through its life under Wine with lorvex-host, for several
# job settings, and compares the spooled bytes with the native build's; also
# checks the trace lines on the debugger channel.
#   plugin_life.sh i386|amd64 NATIVE_HOST WINDOWS_HOST.exe LORVEX.DLL
set -uo pipefail
arch=$1
native=$(realpath "$2") host_exe=$(realpath "$3") dll=$(realpath "$4")
here=$(cd "$(dirname "$0")" && pwd)

work=$(mktemp -d /tmp/lorvex-life.XXXXXX)
trap 'rm -rf "$work"' EXIT
cp "$host_exe" "$work/lorvex-host.exe" && cp "$dll" "$work/LORVEX.DLL" || exit 1
cd "$work" || exit 1

# Every job setting: one line of lorvex-host options.
jobs=(
  ""
  "--halftone HT_Stucki --offset P12"
  "--halftone HT_FloydSteinberg --copies 3 --banding --band-height 96"
  "--halftone HT_Ordered --landscape --translate TRANS_180 --height 500"
  "--halftone HT_StevensonArce --save-paper SavePaper_TopAndBottom --offset M40"
  "--halftone HT_Jarvis-Judice-Ninke --copies 2"
)

# One Wine run for all jobs: a script that the program runs job by job.
: > jobs.bat
i=0
for job in "${jobs[@]}"; do
  "$native" "native-$i.bin" $job > /dev/null || { echo "native host failed for: $job" >&2; exit 1; }
  echo "lorvex-host.exe wine-$i.bin $job" >> jobs.bat
  i=$((i + 1))
done

# +debugstr shows OutputDebugStringA texts; warn+seh the wide ones too.
WINEDEBUG=-all,+debugstr,warn+seh "$here/run_under_wine.sh" "$arch" cmd /c jobs.bat > out.txt 2> err.txt
rc=$?
[ "$rc" -eq 77 ] && { cat err.txt >&2; exit 77; }

failures=0
i=0
for job in "${jobs[@]}"; do
  if [ ! -f "wine-$i.bin" ]; then
    echo "job '$job': the Windows host wrote nothing" >&2
    failures=$((failures + 1))
  elif ! cmp -s "native-$i.bin" "wine-$i.bin"; then
    echo "job '$job': the DLL's bytes differ from the native build's" >&2
    failures=$((failures + 1))
  fi
  i=$((i + 1))
done
lives=$(grep -c "life walked" out.txt)
if [ "$lives" -ne "${#jobs[@]}" ]; then
  echo "only $lives of ${#jobs[@]} lives completed:" >&2
  grep -v "life walked" out.txt >&2
  grep -i "lorvex-host" err.txt >&2
  failures=$((failures + 1))
fi
for line in 'intrface@139: COemUni2::QueryInterface IPrintOemUni3.\r\n' \
            'intrface@1021: Warning: COemUni2::GetInfo() exit pcbNeeded is NULL! ERROR_INVALID_PARAMETER.\r\n' \
            '"PublishDriverInterface"' \
            'SetBandSize iFormat=1, dwPageWidthBytes=72, dwPageHeight=600, dwMaxHeight=240, pdwRequiredHeight=0' \
            'intrface@144: Warning: COemUni2::QueryInterface NULL. Returning E_NOINTERFACE.\r\n' \
            '{D67EBBF0-78BF-11D1-9480-00A0C90640B8}'; do
  if ! grep -qF -e "$line" err.txt; then
    echo "trace line missing on the debugger channel: $line" >&2
    failures=$((failures + 1))
  fi
done
[ "$failures" -eq 0 ] && echo "$arch: ${#jobs[@]} jobs through LORVEX.DLL under Wine match the native build"
exit "$failures"
