#!/usr/bin/env bash
# Installs the build into a temporary prefix and starts it as a user with a fresh home would,
# from the menu entry's Exec line: the install lays every file in its usual place, and the first
# start shows the introduction, then the recipe window on a copy of the sample collection in the
# user's data folder, leaving the program folder alone.
set -euo pipefail
build=$1 app_id=$2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/usr
cmake --install "$build" --prefix "$prefix" >/dev/null

status=0
for f in bin/pantrio bin/pantrio-make-sample bin/pantrio-recipes libexec/pantrio/pantrio-access-reader share/applications/$app_id.desktop \
         share/metainfo/$app_id.metainfo.xml share/icons/hicolor/scalable/apps/$app_id.svg \
         share/man/man1/pantrio.1.gz share/man/man1/pantrio-recipes.1.gz share/pantrio/Savorix.mdb share/pantrio/intro.rtf; do
    [ -s "$prefix/$f" ] || { echo "FAIL: $f not installed"; status=1; }
done
for size in 16 32 48 64 128 256; do
    icon=$prefix/share/icons/hicolor/${size}x$size/apps/$app_id.png
    [ "$(identify -format %wx%h "$icon" 2>/dev/null)" = "${size}x$size" ] || { echo "FAIL: icon $icon"; status=1; }
done
# Only the reader may load the Access library, which can loop without end on a damaged file.
for f in bin/pantrio bin/pantrio-recipes bin/pantrio-compact bin/pantrio-make-sample; do
    ! ldd "$prefix/$f" | grep -q libmdb || { echo "FAIL: $f links the Access library"; status=1; }
done
[ $status -eq 0 ] || exit 1

# The program folder is not the user's: run as nobody, since the superuser may write anywhere.
home=$work/home
mkdir -p "$home"
chmod 755 "$work"
chown 65534:65534 "$home"
exec_line=$(sed -n 's/^Exec=//p' "$prefix/share/applications/$app_id.desktop")

unset QT_QPA_PLATFORM XAUTHORITY
export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1"
xvfb-run -a -s "-ac -screen 0 1024x768x24" bash -s "$prefix" "$home" "$exec_line" <<'INNER'
set -euo pipefail
prefix=$1 home=$2 exec_line=$3
setpriv --reuid=65534 --regid=65534 --clear-groups env -u XAUTHORITY HOME="$home" \
    PATH="$prefix/bin:$PATH" XDG_RUNTIME_DIR="$home" $exec_line & pid=$!
wait_window() {
    for _ in $(seq 1 150); do
        win=$(xdotool search --name "$1" 2>/dev/null | head -n1 || true)
        [ -n "$win" ] && return 0
        sleep 0.2
    done
    echo "FAIL: no window named '$1'"; kill $pid; exit 1
}
wait_window '^Form1$'
sleep 0.5
xdotool windowfocus --sync "$win" key --window "$win" Return
wait_window "^Veltrane's Pantrio"
collection=$home/.local/share/Pantrio/Savorix.mdb
cmp -s "$collection" "$prefix/share/pantrio/Savorix.mdb" || { echo "FAIL: no sample copied to $collection"; kill $pid; exit 1; }
[ ! -e "$prefix/bin/Savorix.mdb" ] || { echo "FAIL: a collection beside the installed program"; kill $pid; exit 1; }
sleep 0.5
xdotool windowfocus --sync "$win" key --window "$win" alt+c
for _ in $(seq 1 50); do kill -0 $pid 2>/dev/null || break; sleep 0.2; done
if kill -0 $pid 2>/dev/null; then echo "FAIL: Alt+C did not close the program"; kill $pid; exit 1; fi
wait $pid
echo "installed copy started on $collection"
INNER
