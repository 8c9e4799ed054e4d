#!/usr/bin/env bash
# The program as a user installs it: laid out by `cmake --install` into a scratch prefix
# (mode "install"), or built into the Debian package and unpacked into a scratch root with
# `dpkg -x` (mode "deb"). The installed program must find its panel description and bitmaps
# beside itself: started offscreen with no port it shows its panel and keeps running, where a
# tree without the panel description ends at once with -1.
#   installed_program_test.sh install|deb BUILD_DIR
set -euo pipefail
mode=$1 build=$2
scratch=$(mktemp -d "${TMPDIR:-/tmp}/evok-install.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

case "$mode" in
install)
    cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
    root=$scratch/prefix
    ;;
deb)
    cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/pkg" >/dev/null
    debs=("$scratch"/pkg/*.deb)
    [ -f "${debs[0]}" ] || fail "no package was built"
    deb=${debs[0]}
    echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"
    depends=$(dpkg-deb -f "$deb" Depends)
    echo "Depends: $depends"
    for needed in libqt6widgets6 libqt6uitools6 libqcustomplot2.1 qt6-qpa-plugins; do
        grep -q "$needed" <<<"$depends" || fail "the package does not depend on $needed"
    done
    # Debian's own checks: no errors (warnings are printed for the log).
    lintian --fail-on error --tag-display-limit 0 "$deb" 2>&1 | grep -v 'root privileges' ||
        true
    lintian --fail-on error "$deb" >/dev/null 2>&1 || fail "lintian reports errors"
    dpkg -x "$deb" "$scratch/root"
    root=$scratch/root/usr
    for file in share/applications/evok-vx12-trace-watch.desktop \
                share/icons/hicolor/scalable/apps/evok-vx12-trace-watch.svg \
                share/doc/evok-vx12-trace-watch/copyright \
                share/man/man1/evok-vx12-trace-watch.1.gz share/man/man1/evok-vx12-sim.1.gz; do
        [ -f "$root/$file" ] || fail "the package lacks /usr/$file"
    done
    ;;
*)
    echo "usage: $0 install|deb BUILD_DIR" >&2
    exit 2
    ;;
esac

lib=$root/lib/evok-vx12-trace-watch
for file in evok-vx12-trace-watch evok-vx12-sim EVOKVX12TWATCHV11.uir talvor.bmp quenix.bmp \
            brimsa.bmp ostrel.bmp run-with-sim evok-vx12-trace-watch-demo; do
    [ -f "$lib/$file" ] || fail "$lib/$file is missing"
done
for program in evok-vx12-trace-watch evok-vx12-sim evok-vx12-trace-watch-demo; do
    [ "$(readlink -f "$root/bin/$program")" = "$(readlink -f "$lib/$program")" ] ||
        fail "$root/bin/$program does not lead to $lib/$program"
done
# --help and --version answer without a display and without opening a window.
for program in evok-vx12-trace-watch evok-vx12-sim; do
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 5 "$root/bin/$program" --version) ||
        fail "$program --version failed"
    [ "$out" = 1.1 ] || fail "$program --version printed '$out'"
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 5 "$root/bin/$program" --help |
        grep -q "^Usage: $program" || fail "$program --help shows no usage"
done

# Runs the program from elsewhere, offscreen, with port 1 on a device that is not there; prints
# its exit status, 124 when it was still running after the wait.
run() {
    local status=0
    (cd / && env -u DISPLAY QT_QPA_PLATFORM=offscreen EVOK_COM1=/nonexistent/evok-port \
        timeout 4 "$1" >"$scratch/out.txt" 2>&1) || status=$?
    echo "$status"
}
status=$(run "$root/bin/evok-vx12-trace-watch")
[ "$status" = 124 ] || { cat "$scratch/out.txt" >&2; fail "the installed program ended with $status"; }

# The same tree without its panel description: the program must give up at once with -1, which
# shows that the run above did load the panels from the installed tree.
cp -a "$lib" "$scratch/broken"
rm "$scratch/broken/EVOKVX12TWATCHV11.uir"
status=$(run "$scratch/broken/evok-vx12-trace-watch")
[ "$status" = 255 ] || fail "without its panel description the program ended with $status, not -1"
echo "PASS: $mode: the installed program shows its panel; without the panel description it ends with -1"
