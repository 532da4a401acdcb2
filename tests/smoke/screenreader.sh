#!/usr/bin/env bash
# Runs the real program on a private session and accessibility bus under Xvfb, with a fresh home,
# and lets screenreader.py look at it as a screen reader would (with Debian's Python, which has
# the AT-SPI bindings).
set -euo pipefail
program=$1 make_sample=$2 intro=$3 script=$4

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/app" "$work/home"
cp "$program" "$work/app/pantrio"
"$make_sample" "$work/app/Savorix.mdb" >/dev/null
cp "$intro" "$work/app/intro.rtf"

unset QT_QPA_PLATFORM
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
export XDG_RUNTIME_DIR="$work" QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1
# The X and D-Bus libraries trip the stricter string checks and leak on exit.
export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1"
exec dbus-run-session -- xvfb-run -a -s "-screen 0 1024x768x24" /usr/bin/python3 "$script" "$work/app/pantrio"
