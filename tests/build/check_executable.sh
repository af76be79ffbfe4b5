#!/usr/bin/env bash
# Checks what the built fontctl.exe promises a Windows user: a 64-bit console
# program importing only Windows' own DLLs, with the PE hardening flags, the
# asInvoker manifest as resource 1 and version information.
set -euo pipefail
exe=$1
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

headers=$(x86_64-w64-mingw32-objdump -p "$exe")

grep -q '^Magic[[:space:]]*020b' <<<"$headers" || fail "not a PE32+ (64-bit) image"
grep -Eq '^Subsystem[[:space:]]+00000003' <<<"$headers" || fail "not a console program"

allowed='^(KERNEL32|USER32|GDI32|SHLWAPI|msvcrt)\.dll$'
imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers")
[[ -n "$imports" ]] || fail "no import table found"
while read -r dll; do
    [[ -z "$dll" || "$dll" =~ $allowed ]] || fail "imports $dll"
done <<<"$imports"

for flag in HIGH_ENTROPY_VA DYNAMIC_BASE NX_COMPAT; do
    grep -Eq "^[[:space:]]+$flag\$" <<<"$headers" || fail "DllCharacteristics lacks $flag"
done

resources=$(x86_64-w64-mingw32-windres -i "$exe" -O rc)
# The manifest: type 24, name 1, asking for no elevation.
manifest=$(awk '/^1 24 /,/^END/' <<<"$resources")
[[ -n "$manifest" ]] || fail "no RT_MANIFEST resource with ID 1"
grep -q 'requestedExecutionLevel level=""asInvoker"" uiAccess=""false""' <<<"$manifest" ||
    fail "manifest does not ask for asInvoker without uiAccess"
grep -q 'VERSIONINFO' <<<"$resources" || fail "no version information"
for value in ProductName FileVersion FileDescription; do
    grep -q "VALUE \"$value\"" <<<"$resources" || fail "version information lacks $value"
done

echo "imports: $(tr '\n' ' ' <<<"$imports")"
echo "size: $(stat -c %s "$exe") bytes"
exit $((failures > 0))
