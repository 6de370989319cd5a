#!/usr/bin/env bash
# Fails when a source file includes a folder that its layer may not use. The table below is the
# one place the allowed directions are written; the CMake link lists follow the same order.
# Usage: check-layers.sh [root]   (default: the project)   check-layers.sh --self-test
set -euo pipefail

# folder            the folders its files may include
table='
platform            platform
platform/desktop    platform/desktop platform
core                core platform
settings            settings core platform
ui/common           ui/common core platform/desktop platform
ui/hexview/page     ui/hexview/page core platform
ui/hexview          ui/hexview ui/hexview/page ui/common core platform
ui/settings         ui/settings ui/common settings core platform
ui/about            ui/about ui/common core platform
ui/main             ui/main ui/hexview ui/hexview/page ui/settings ui/about ui/common settings core platform/desktop platform
.                   ui/main settings core platform
'

check() {
    local root=$1 failed=0 folder file line included
    declare -A may
    while read -r folder uses; do
        [ -n "$folder" ] && may[$folder]=" $uses "
    done <<<"$table"
    cd "$root"
    # Every C++ file of the program belongs to a folder of the table.
    while IFS= read -r file; do
        folder=$(dirname "$file")
        if [ -z "${may[$folder]+set}" ]; then
            echo "$file: the folder $folder is not in the layer table of scripts/check-layers.sh"
            failed=1
            continue
        fi
        while IFS= read -r line; do
            included=$(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\(.*\)\/[^/]*".*/\1/p' <<<"$line")
            [ -n "$included" ] || continue
            if [[ ${may[$folder]} != *" $included "* ]]; then
                echo "$file: includes \"$included/…\", which the layer $folder may not use"
                failed=1
            fi
        done < <(grep -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file" || true)
    done < <(find platform core settings ui -name '*.cpp' -o -name '*.h' 2>/dev/null; ls main.cpp 2>/dev/null)
    return $failed
}

if [ "${1:-}" = "--self-test" ]; then
    # The check must catch a wrong-way include and pass a right-way one.
    tree=$(mktemp -d)
    trap 'rm -rf "$tree"' EXIT
    mkdir -p "$tree/core" "$tree/ui/main"
    printf '#include "core/Copy.h"\n#include "platform/Platform.h"\n' >"$tree/ui/main/Fine.cpp"
    (check "$tree") || { echo "self-test: a right-way include was refused"; exit 1; }
    printf '#include "ui/main/TForm1.h"\n' >"$tree/core/Wrong.cpp"
    if (check "$tree" >/dev/null); then echo "self-test: a wrong-way include passed"; exit 1; fi
    mkdir -p "$tree/extra" "$tree/ui/new"
    printf 'int x;\n' >"$tree/ui/new/A.cpp"
    rm "$tree/core/Wrong.cpp"
    if (check "$tree" >/dev/null); then echo "self-test: a folder outside the table passed"; exit 1; fi
    echo "self-test passed"
    exit 0
fi

check "${1:-$(cd "$(dirname "$0")/.." && pwd)}" && echo "layers: every include follows the table"
