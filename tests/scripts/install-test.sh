#!/usr/bin/env bash
# scripts/install and scripts/install --uninstall for a user whose home folder
# holds "%", spaces and quotes, in temporary folders and without the system part:
# what install puts in place, the autostart entry the installed Velmor writes at
# its first start (it runs the installed program), and that uninstall takes both
# away and leaves the profiles.
#   install-test.sh REPOSITORY BUILD-FOLDER
set -uo pipefail
repository=$1
build=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
check() { # description, then a command that must succeed
  local description=$1
  shift
  "$@" || fail "$description"
}

export HOME="$tmp/home 100% \"Dr\" O'Neil"
mkdir -p "$HOME"
unset XDG_DATA_HOME XDG_CONFIG_HOME XDG_CACHE_HOME DISPLAY WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS
export XDG_RUNTIME_DIR="$tmp/runtime" VELMOR_CLOUD_FOLDER="$tmp/cloud" QT_QPA_PLATFORM=offscreen
mkdir -m 700 "$XDG_RUNTIME_DIR"
bin="$HOME/.local/bin"
menu="$HOME/.local/share/applications/velmor.desktop"
autostart="$HOME/.config/autostart/velmor.desktop"
settings="$HOME/.config/Velmor/Velmor.ini"
# The path with % doubled and " escaped for the quotes, then for the value; env
# in front, as GLib needs for a path with %.
expected_exec="Exec=env \"$tmp/home 100%% \\\\\"Dr\\\\\" O'Neil/.local/bin/velmor\""

"$repository/scripts/install" --no-rule --from "$build" >"$tmp/install.log" 2>&1 || fail "install: $(cat "$tmp/install.log")"
for file in "$bin/velmor" "$bin/velmor-icon-render"; do
  check "installed and runnable: $file" test -x "$file"
done
check "the menu's entry" test -f "$menu"
check "the icon" test -f "$HOME/.local/share/icons/hicolor/scalable/apps/velmor.svg"
grep -qxF "$expected_exec" "$menu" || fail "the menu entry's Exec line: $(grep Exec "$menu"), expected $expected_exec"

# The installed program's first start writes its autostart entry, for itself.
VELMOR_READY=quit "$bin/velmor" >"$tmp/velmor.log" 2>&1 || fail "the installed velmor: $(tail -5 "$tmp/velmor.log")"
check "the autostart entry" test -f "$autostart"
grep -qxF "$expected_exec" "$autostart" || fail "the autostart entry's Exec line: $(grep Exec "$autostart" 2>&1)"
grep -q '^Velmor\.autostartRegistered=' "$settings" || fail "the settings do not remember the autostart entry"
check "the profiles" test -f "$HOME/.local/share/Velmor/profiles.json"

"$repository/scripts/install" --uninstall --no-rule >"$tmp/uninstall.log" 2>&1 || fail "uninstall: $(cat "$tmp/uninstall.log")"
for file in "$bin/velmor" "$bin/velmor-icon-render" "$menu" "$HOME/.local/share/icons/hicolor/scalable/apps/velmor.svg" \
  "$autostart"; do
  [[ ! -e $file ]] || fail "left behind: $file"
done
! grep -q '^Velmor\.autostartRegistered=' "$settings" || fail "the settings still remember the autostart entry"
check "the profiles stay" test -f "$HOME/.local/share/Velmor/profiles.json"
check "the settings stay" test -f "$settings"
"$repository/scripts/install" --uninstall --no-rule >/dev/null 2>&1 || fail "a second uninstall fails"

# Velmor's own entry for a build folder's program (a first start from scripts/run) goes too.
mkdir -p "$(dirname "$autostart")"
printf '[Desktop Entry]\nType=Application\nName=Velmor\nExec="%s"\nTerminal=false\nX-GNOME-Autostart-enabled=true\n' \
  "$build/src/app/velmor" >"$autostart"
"$repository/scripts/install" --uninstall --no-rule >/dev/null 2>&1
[[ ! -e $autostart ]] || fail "left behind: the autostart entry for the build folder's program"
# One the user switched off stays off.
printf '[Desktop Entry]\nType=Application\nName=Velmor\nExec="%s"\nTerminal=false\nX-GNOME-Autostart-enabled=false\n' \
  "$build/src/app/velmor" >"$autostart"
"$repository/scripts/install" --uninstall --no-rule >/dev/null 2>&1
check "the autostart entry the user switched off stays" test -f "$autostart"
rm -f "$autostart"

# An autostart entry the user pointed elsewhere is theirs: uninstall leaves it.
mkdir -p "$(dirname "$autostart")"
printf '[Desktop Entry]\nType=Application\nExec=/opt/velmor/velmor\n' >"$autostart"
"$repository/scripts/install" --uninstall --no-rule >/dev/null 2>&1
check "the user's own autostart entry stays" test -f "$autostart"

((failures == 0)) && echo "ok: install and uninstall"
((failures == 0))
