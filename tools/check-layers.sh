#!/bin/bash
# Fails when a source file includes a header of a layer above its own. The layers, lowest first;
# a folder may include its own layer and those below it, never one above or beside it (app/ and
# tools/ are two top layers that know nothing of each other). Also fails when a file outside
# platform/ (and the Windows dialogs in app/win32/) includes a header of the system's own API.
set -uo pipefail
cd "$(dirname "$0")/.."

layers=(base platform stream io algorithm format/data archive format sfx "app tools")

# The layer index of a path: the longest listed folder that starts it.
layer_of() {
    local path=$1 best=-1 bestlen=0 i folder
    for i in "${!layers[@]}"; do
        for folder in ${layers[$i]}; do
            if [[ "$path" == "$folder"/* ]] && [ ${#folder} -gt $bestlen ]; then
                best=$i
                bestlen=${#folder}
            fi
        done
    done
    echo $best
}

# The top folder of a path within its layer (app or tools for the top layer).
top_of() {
    echo "${1%%/*}"
}

bad=0
checked=0
while IFS= read -r file; do
    from=$(layer_of "$file")
    [ "$from" -ge 0 ] || continue
    while IFS= read -r header; do
        to=$(layer_of "$header")
        [ "$to" -ge 0 ] || continue
        checked=$((checked + 1))
        if [ "$to" -gt "$from" ] ||
            { [ "$to" -eq "$from" ] && [ "$from" -eq $((${#layers[@]} - 1)) ] &&
                [ "$(top_of "$file")" != "$(top_of "$header")" ]; }; then
            echo "check-layers: $file includes $header, which lies above it" >&2
            bad=$((bad + 1))
        fi
    done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(git ls-files '*.h' '*.cpp' '*.rc' | grep -v '^tests/\|^bench/')

# The system's API, as opposed to the C and C++ libraries.
system_headers='windows\.h|shlobj\.h|shellapi\.h|commctrl\.h|unistd\.h|fcntl\.h|poll\.h|signal\.h|termios\.h|dirent\.h|pthread\.h|sys/[a-z_]*\.h'
system=0
while IFS=: read -r file line text; do
    echo "check-layers: $file:$line includes $(sed -E 's/.*(<.*>).*/\1/' <<<"$text"), which only platform/ may" >&2
    system=$((system + 1))
done < <(git ls-files '*.h' '*.cpp' | grep -v '^tests/\|^bench/\|^platform/\|^app/win32/' |
    xargs grep -nE "^[[:space:]]*#[[:space:]]*include[[:space:]]*<($system_headers)>" /dev/null)

echo "check-layers: $checked includes checked, $bad against the direction, $system of the system's API outside platform/"
[ "$bad" -eq 0 ] && [ "$system" -eq 0 ] && [ "$checked" -gt 0 ]
