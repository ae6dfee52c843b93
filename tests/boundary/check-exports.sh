#!/usr/bin/env bash
# check-exports.sh DLL EXPECTED
# Every line of EXPECTED must be an export of DLL: either a raw (unmangled) name, or, where the
# line holds a parenthesis or "::", a demangled C++ signature.
set -euo pipefail
dll=$1
expected=$2
raw=$(x86_64-w64-mingw32-objdump -p "$dll" |
    awk '/\[Ordinal\/Name Pointer\] Table/{on=1; next} on && /^\t\[/{print $NF} on && /^$/{on=0}')
demangled=$(printf '%s\n' "$raw" | x86_64-w64-mingw32-c++filt)
missing=0
while IFS= read -r line; do
    [[ -z "$line" || "$line" == \#* ]] && continue
    if [[ "$line" == *"("* || "$line" == *"::"* ]]; then
        grep -qxF -- "$line" <<<"$demangled" || { echo "missing export: $line"; missing=1; }
    else
        grep -qxF -- "$line" <<<"$raw" || { echo "missing export: $line"; missing=1; }
    fi
done <"$expected"
count=$(grep -cvE '^\s*(#|$)' "$expected")
[ $missing -eq 0 ] && echo "all $count expected exports present"
exit $missing
