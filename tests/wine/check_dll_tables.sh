#!/usr/bin/env bash
# Checks LORVEX.DLL's export and import tables: the two COM entry points
# under their plain names beside the image library's classes, and imports
# from the platform's own DLLs only.
#   check_dll_tables.sh OBJDUMP LORVEX.DLL
set -uo pipefail
objdump=$1 dll=$2
tables=$("$objdump" -p "$dll") || exit 1
failures=0

exports=$(awk '/\[Ordinal\/Name Pointer\] Table/{on=1; next} on && /^[ \t]*\[/{print $NF} on && /^$/{on=0}' <<<"$tables")
for name in DllGetClassObject DllCanUnloadNow; do
  grep -qx "$name" <<<"$exports" || { echo "export $name missing (plain name)"; failures=$((failures + 1)); }
done
if grep -qE '^_?Dll(GetClassObject|CanUnloadNow)@' <<<"$exports"; then
  echo "decorated entry point exported"; failures=$((failures + 1))
fi
classes=$(grep -c '7LxImage' <<<"$exports")
[ "$classes" -ge 100 ] || { echo "the image library's class exports are missing ($classes)"; failures=$((failures + 1)); }

allowed='^(KERNEL32|msvcrt|ole32|OLEAUT32|ADVAPI32|USER32|GDI32)\.dll$'
while read -r imported; do
  grep -qiE "$allowed" <<<"$imported" || { echo "imports $imported, which is not the platform's"; failures=$((failures + 1)); }
done < <(awk '/DLL Name:/{print $3}' <<<"$tables")

[ "$failures" -eq 0 ] && echo "$(basename "$dll"): $(wc -l <<<"$exports") exports ($classes of the image library), imports: $(awk '/DLL Name:/{printf "%s ", $3}' <<<"$tables")"
exit "$failures"
