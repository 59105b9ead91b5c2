#!/usr/bin/env bash
# Drives scripts/check-includes over small source trees in a temporary folder.
set -uo pipefail
check="$1"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0

# tree NAME FILE:INCLUDE... — a tree whose FILE holds `#include INCLUDE`.
tree() {
    local dir="$tmp/$1"; shift
    rm -rf "$dir"
    for spec in "$@"; do
        local file="$dir/src/${spec%%:*}"
        mkdir -p "$(dirname "$file")"
        [[ -e $file ]] || echo '#pragma once' >"$file"
        echo "#include ${spec#*:}" >>"$file"
    done
    echo "$dir"
}
expect() { # expect pass|fail NAME DIR [TEXT expected in the report]
    local want="$1" name="$2" dir="$3" text="${4:-}" out rc
    out=$("$check" "$dir" 2>&1); rc=$?
    if [[ $want == pass && $rc -ne 0 ]] || [[ $want == fail && $rc -ne 1 ]]; then
        echo "FAIL $name: wanted $want, exit $rc"; echo "$out"; failures=$((failures + 1))
    elif [[ -n $text && $out != *"$text"* ]]; then
        echo "FAIL $name: report lacks '$text'"; echo "$out"; failures=$((failures + 1))
    fi
}

expect pass "downward includes" "$(tree ok \
    'model/A.h:"platform/Published.h"' 'store/S.cpp:"model/A.h"' 'input/I.h:"model/A.h"' \
    'output/O.h:"platform/keys/KeyOutput.h"' 'sync/Y.h:"store/S.h"' 'core/C.h:"sync/Y.h"' \
    'core/C.cpp:<input/I.h>' 'ui/admin/V.h:"ui/shared/Theme.h"' 'ui/admin/widgets/W.h:"ui/admin/V.h"' \
    'ui/shared/T.h:"core/C.h"' 'app/M.cpp:"ui/mapping/X.h"' 'model/B.h:<QString>' 'store/F.h:"support/X.h"')"

expect fail "upward include, quoted" "$(tree up 'model/A.h:"platform/P.h"' 'store/S.cpp:"model/A.h"' \
    'store/S.cpp:"core/AppModel.h"')" 'src/store/S.cpp:3: store includes core/AppModel.h (a higher layer)'
expect fail "upward include, angled and indented" "$(tree angled 'platform/P.h:<model/Device.h>')" \
    'platform includes model/Device.h'
sed -i 's/^#include/  #  include/' "$tmp/angled/src/platform/P.h"
expect fail "spaces around the hash" "$tmp/angled"
expect fail "input and output are siblings" "$(tree siblings 'input/I.cpp:"output/ShortcutExecutor.h"')" \
    '(a sibling layer)'
expect fail "output does not reach into input" "$(tree siblings2 'output/O.h:"input/RazerRGB.h"')"
expect fail "sync sits below core" "$(tree sync 'sync/Y.cpp:"core/AppModel.h"')"
expect fail "ui below app" "$(tree ui 'ui/shared/T.cpp:"app/VelmorApp.h"')"
expect fail "feature folders stay apart" "$(tree features 'ui/admin/widgets/W.cpp:"ui/mapping/M.h"')" \
    'ui/admin includes ui/mapping/M.h (another feature folder)'
expect fail "shared does not know the features" "$(tree shared 'ui/shared/S.h:"ui/devices/D.h"')"
expect fail "every fault is reported" "$(tree many 'model/A.h:"store/S.h"' 'platform/P.h:"ui/shared/T.h"')" \
    'src/platform/P.h'

mkdir -p "$tmp/empty"
"$check" "$tmp/empty" >/dev/null 2>&1
[[ $? -eq 2 ]] || { echo "FAIL a folder without src is an error"; failures=$((failures + 1)); }

exit $((failures > 0))
