#!/usr/bin/env bash
# Installs the build into a temporary root, either with `cmake --install`
# (install) or as the Debian package that cpack makes and dpkg-deb unpacks
# (package); checks that every file is where the desktop and udev look for
# it, and runs the installed Monitor against the emulator of the build. The
# package installs under /usr whatever the build's prefix, with stripped
# programs, and lintian finds no error in it.
#   install_test.sh BUILD_DIR install|package CMAKE CPACK
set -euo pipefail
build=$1 mode=$2 cmake=${3:-cmake} cpack=${4:-cpack}

tmp=$(mktemp -d /tmp/vyre-install-XXXXXX)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
    rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")
[ -n "$prefix" ] || fail "no install prefix in $build/CMakeCache.txt"
[ "$mode" = install ] || prefix=/usr
sysconf=/etc
[ "$prefix" = /usr ] || sysconf=$prefix/etc
root=$tmp/root

if [ "$mode" = install ]; then
    DESTDIR=$root "$cmake" --install "$build" >"$tmp/install.log" || { cat "$tmp/install.log"; fail "install"; }
else
    (cd "$build" && "$cpack" -G DEB -B "$tmp/pkg") >"$tmp/cpack.log" 2>&1 || { cat "$tmp/cpack.log"; fail "cpack"; }
    deb=$(ls "$tmp"/pkg/*.deb)
    info=$(dpkg-deb --info "$deb")
    grep -q '^ Package: vyre-lumo$' <<<"$info" || fail "package name: $info"
    grep -q '^ Depends: .*libqt6widgets6' <<<"$info" || fail "Depends not computed from the libraries: $info"
    grep -q '^ Depends: .*libhidapi-hidraw0' <<<"$info" || fail "Depends lacks hidapi: $info"
    grep -q '^ Recommends: .*fonts-' <<<"$info" || fail "no font Recommends: $info"
    dpkg-deb --ctrl-tarfile "$deb" | tar -t | grep -q postinst || fail "no postinst"
    dpkg-deb --ctrl-tarfile "$deb" | tar -t | grep -q postrm || fail "no postrm"
    dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./postinst | grep -q 'udevadm control --reload' \
        || fail "postinst does not reload udev"
    dpkg-deb -x "$deb" "$root"
    unexpected=$(dpkg-deb -c "$deb" | awk '{print $6}' | grep -v -E '^\./(usr|etc)(/|$)' || true)
    [ -z "$unexpected" ] || fail "files outside /usr and /etc: $unexpected"
    for f in "$root"/usr/bin/*; do
        file -b "$f" | grep -q ', stripped' || fail "not stripped: $f ($(file -b "$f"))"
    done
    command -v lintian >/dev/null || fail "lintian is not installed (scripts/deps installs it)"
    # Debian's package checker: any error it finds fails the test.
    lint=$(lintian --tag-display-limit 0 "$deb" 2>&1) || true
    if grep -q '^E: ' <<<"$lint"; then fail "lintian: $lint"; fi
fi

p=$root$prefix
for f in bin/vyre-lumo-monitor bin/vyre-lumo-config bin/vyre-lumo-ctl bin/vyre-lumo-sim; do
    [ -x "$p/$f" ] || fail "missing program $f"
done
for f in share/vyre-lumo/Help/English.txt share/vyre-lumo/wave \
         lib/udev/rules.d/70-vyre-lumo.rules share/applications/vyre-lumo-config.desktop \
         share/icons/hicolor/scalable/apps/vyre-lumo.svg share/metainfo/vyre-lumo-config.metainfo.xml \
         share/man/man1/vyre-lumo-monitor.1.gz share/man/man1/vyre-lumo-config.1.gz \
         share/man/man1/vyre-lumo-ctl.1.gz share/man/man1/vyre-lumo-sim.1.gz \
         share/vyre-lumo/kwin/vyre-lumo-foreground.js \
         share/gnome-shell/extensions/vyre-lumo@kalvex.com/metadata.json; do
    [ -e "$p/$f" ] || fail "missing $f"
done
autostart=$root$sysconf/xdg/autostart/vyre-lumo-monitor.desktop
[ -f "$autostart" ] || fail "missing the autostart entry $autostart"
zcat "$p/share/man/man1/vyre-lumo-ctl.1.gz" | grep -q 'report' || fail "the manual page lacks the commands"

# The desktop entries name the installed programs.
exec_of() { sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$1" | head -n 1; }
[ "$(exec_of "$p/share/applications/vyre-lumo-config.desktop")" = vyre-lumo-config ] || fail "Config entry"
[ -x "$p/bin/$(exec_of "$p/share/applications/vyre-lumo-config.desktop")" ] || fail "Config entry's program"
[ -x "$p/bin/$(exec_of "$autostart")" ] || fail "autostart entry's program"
grep -q '^Icon=vyre-lumo$' "$p/share/applications/vyre-lumo-config.desktop" || fail "icon name"

# The installed Monitor against the emulator, its shipped files found from its prefix.
unset VYRE_LUMO_ASSETS
export VYRE_LUMO_RUNTIME_DIR=$tmp/run
mkdir -m 0700 "$VYRE_LUMO_RUNTIME_DIR"
"$build/bin/vyre-lumo-sim" --socket "$tmp/sim.sock" --model B &
pids+=($!)
for _ in $(seq 200); do [ -S "$tmp/sim.sock" ] && break; sleep 0.05; done
"$p/bin/vyre-lumo-monitor" --hid "sim:$tmp/sim.sock" --home "$tmp/home" --poll-ms 1 --arrival-ms 20 \
    2>"$tmp/monitor.err" &
monitor=$!
pids+=($monitor)
ok=
for _ in $(seq 150); do
    if out=$("$p/bin/vyre-lumo-ctl" dump 2>/dev/null) && [ "$(tail -n 1 <<<"$out")" = "notice 43" ]; then
        ok=1
        break
    fi
    sleep 0.2
done
[ -n "$ok" ] || { cat "$tmp/monitor.err"; fail "the installed Monitor did not answer the dump"; }
grep -q "shipped files $p/share/vyre-lumo" "$tmp/monitor.err" \
    || { cat "$tmp/monitor.err"; fail "the installed Monitor did not take its shipped files from its prefix"; }
kill -TERM "$monitor"
wait "$monitor" || fail "the Monitor did not end cleanly"
echo "ok: $mode into $root$prefix"
