#!/usr/bin/env bash
# Builds Tocksley's Debian package in BUILD_DIR, checks what it holds and what
# its control file says, then installs it with apt-get, without recommended
# packages, into a freshly bootstrapped minimal Debian 12 root, where
# tocksley-cli must render the same click track as the build tree's and
# tocksley must open its window on a virtual display and quit cleanly.
#
# Usage: install_in_clean_root.sh BUILD_DIR
#
# The bootstrapped root is kept as BUILD_DIR/package-root/bookworm-minbase-ARCH.tar
# so that later runs only unpack it. Exits 77 (skipped) when no root can be
# made on this machine: not root, no debootstrap, no Debian mirror in apt's
# sources or none in reach, mounting not allowed.
set -euo pipefail

skipCode=77
[ $# -eq 1 ] || { echo "usage: $0 BUILD_DIR" >&2; exit 2; }
buildDir=$(realpath "$1")
testStart=$(date +%s)

fail() { echo "FAIL: $*" >&2; exit 1; }
skip() { echo "SKIPPED: $*"; exit $skipCode; }
seconds_since() { echo $(( $(date +%s) - $1 )); }

workPrefix="${TMPDIR:-/tmp}/tocksley-package-test."

# Everything mounted below the work directory, in order; unmounted in reverse.
mounted=()
appPid=""
wmPid=""
xvfbPid=""
work=""

mounts_below() {
    # Field 5 of mountinfo is the mount point; octal escapes only for odd characters.
    awk -v prefix="$1/" 'index($5, prefix) == 1 { print $5 }' /proc/self/mountinfo | sort -r
}

# Unmounts what is left below a work directory and removes it, but never
# removes a tree that still has something mounted in it.
release_work_dir() {
    local dir=$1 m
    for m in $(mounts_below "$dir"); do
        umount "$m" 2>/dev/null || umount -l "$m" 2>/dev/null || true
    done
    if [ -n "$(mounts_below "$dir")" ]; then
        echo "left in place, still mounted: $(mounts_below "$dir" | tr '\n' ' ')" >&2
        return 0
    fi
    rm -rf --one-file-system "$dir"
}

cleanup() {
    local status=$? i
    [ -n "$appPid" ] && kill -9 "$appPid" 2>/dev/null || true
    [ -n "$wmPid" ] && kill "$wmPid" 2>/dev/null || true
    [ -n "$xvfbPid" ] && kill "$xvfbPid" 2>/dev/null || true
    [ -n "$appPid" ] && wait "$appPid" 2>/dev/null || true
    [ -n "$wmPid" ] && wait "$wmPid" 2>/dev/null || true
    [ -n "$xvfbPid" ] && wait "$xvfbPid" 2>/dev/null || true
    for (( i = ${#mounted[@]} - 1; i >= 0; i-- )); do
        umount "${mounted[i]}" 2>/dev/null || umount -l "${mounted[i]}" 2>/dev/null || true
    done
    if [ -n "$work" ]; then
        local started
        started=$(date +%s)
        release_work_dir "$work"
        echo "removed the work directory in $(seconds_since "$started") s"
    fi
    exit $status
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# A run killed outright (a ctest timeout) cannot run its trap: tidy up after
# any earlier run whose process is gone.
for stale in "$workPrefix"*; do
    [ -d "$stale" ] || continue
    stalePid=$(cat "$stale/pid" 2>/dev/null || echo "")
    if [ -z "$stalePid" ] || ! kill -0 "$stalePid" 2>/dev/null; then
        echo "removing what an earlier run left: $stale"
        release_work_dir "$stale"
    fi
done

work=$(mktemp -d "${workPrefix}XXXXXX")
echo $$ > "$work/pid"

# ---------------------------------------------------------------------------
echo "== building the package"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$buildDir/CMakeCache.txt")
arch=$(dpkg --print-architecture)
[ -n "$version" ] || fail "no project version in $buildDir/CMakeCache.txt"
deb="$buildDir/tocksley_${version}_${arch}.deb"

# A package left from an earlier build must not pass for a new one.
rm -f "$deb"
started=$(date +%s)
cmake --build "$buildDir" --target package > "$work/package.log" 2>&1 || { tail -n 40 "$work/package.log"; fail "building the package failed"; }
[ -f "$deb" ] || { tail -n 20 "$work/package.log"; fail "no $deb after building the package target"; }
echo "built $(basename "$deb") in $(seconds_since "$started") s"

# ---------------------------------------------------------------------------
echo "== what the package holds"
dpkg-deb -c "$deb" | awk '{ print $6 }' | sed 's|^\./|/|' > "$work/contents"

iconSizes="16 32 48 128 256"
metainfo=/usr/share/metainfo/org.orlavane.Tocksley.metainfo.xml
expected="/usr/bin/tocksley /usr/bin/tocksley-cli /usr/share/applications/tocksley.desktop $metainfo
          /usr/share/man/man1/tocksley-cli.1.gz"
for size in $iconSizes; do
    expected="$expected /usr/share/icons/hicolor/${size}x${size}/apps/tocksley.png"
done
for path in $expected; do
    grep -qxF "$path" "$work/contents" || { cat "$work/contents"; fail "the package lacks $path"; }
done
if grep -v '^/usr/' "$work/contents" | grep -vqx '/'; then
    fail "the package installs outside /usr: $(grep -v '^/usr/' "$work/contents" | grep -vx '/' | tr '\n' ' ')"
fi

unpacked="$work/unpacked"
dpkg-deb -x "$deb" "$unpacked"

for binary in tocksley tocksley-cli; do
    kind=$(file -b "$unpacked/usr/bin/$binary")
    case "$kind" in
        ELF*", stripped"*) ;;
        *) fail "/usr/bin/$binary is not a stripped ELF executable: $kind" ;;
    esac
    [ -x "$unpacked/usr/bin/$binary" ] || fail "/usr/bin/$binary is not executable"
done

for size in $iconSizes; do
    icon="$unpacked/usr/share/icons/hicolor/${size}x${size}/apps/tocksley.png"
    actual=$(python3 -c '
import struct, sys
data = open(sys.argv[1], "rb").read(24)
if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
    print("not a PNG")
else:
    print("%dx%d" % struct.unpack(">II", data[16:24]))' "$icon")
    [ "$actual" = "${size}x${size}" ] || fail "the ${size}x${size} icon is $actual"
done

echo "== the metainfo and the desktop entry"
appstreamcli validate --no-net "$unpacked$metainfo" || fail "appstreamcli rejects the metainfo"
launchable=$(sed -n 's|.*<launchable type="desktop-id">\(.*\)</launchable>.*|\1|p' "$unpacked$metainfo")
[ -n "$launchable" ] || fail "the metainfo names no desktop-id launchable"
[ -f "$unpacked/usr/share/applications/$launchable" ] || fail "the metainfo launches $launchable, which the package does not hold"
releaseVersion=$(sed -n 's|.*<release version="\([^"]*\)".*|\1|p' "$unpacked$metainfo" | head -n 1)
[ "$releaseVersion" = "$version" ] || fail "the metainfo's newest release is $releaseVersion, the package's version $version"

desktop="$unpacked/usr/share/applications/tocksley.desktop"
if command -v desktop-file-validate > /dev/null; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate rejects tocksley.desktop"
else
    echo "desktop-file-validate is not installed (desktop-file-utils): the desktop entry is not validated"
fi
execName=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
[ -x "$unpacked/usr/bin/$execName" ] || fail "the desktop entry starts $execName, which the package does not hold"
iconName=$(sed -n 's/^Icon=//p' "$desktop")
[ -f "$unpacked/usr/share/icons/hicolor/48x48/apps/$iconName.png" ] || fail "the desktop entry's icon $iconName is not in the package"

echo "== the manual page"
page="$unpacked/usr/share/man/man1/tocksley-cli.1.gz"
gzip -t "$page" || fail "tocksley-cli.1.gz is not a gzip file"
if command -v man > /dev/null; then
    warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 > /dev/null || true)
    [ -z "$warnings" ] || fail "the manual page has faults: $warnings"
fi
# Every flag the program's usage names is described on the page.
usage=$("$unpacked/usr/bin/tocksley-cli" --help)
for flag in $(grep -o -- '--[a-z][a-z-]*' <<< "$usage" | sort -u); do
    zcat "$page" | grep -qF -- "$(sed 's/-/\\-/g' <<< "$flag")" || fail "the manual page does not describe $flag"
done

echo "== the control file"
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = tocksley ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version), not $version"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture: $(field Architecture)"
[ "$(field Section)" = sound ] || fail "Section: $(field Section)"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ -n "$(field Description)" ] || fail "no Description"
depends=$(field Depends)
# Computed from the binaries: the libraries they link, with the versions their symbols need.
dependedOn=$(sed 's/, /\n/g' <<< "$depends")
for library in libaubio5 libasound2 libc6 libstdc++6 libx11-6 libfreetype6 libcurl3-gnutls; do
    grep -qE "^$(sed 's/[+.]/\\&/g' <<< "$library")( \(|$)" <<< "$dependedOn" || fail "Depends lacks $library: $depends"
done
grep -qE '^libaubio5 \(>= [0-9][^)]*\)$' <<< "$dependedOn" || fail "Depends carries no computed version of libaubio5: $depends"
# Needs no library can show: the fonts.conf that JUCE reads to find fonts, and a face.
for needed in fontconfig-config fonts-dejavu-core; do
    grep -qx "$needed" <<< "$dependedOn" || fail "Depends lacks $needed: $depends"
done

# ---------------------------------------------------------------------------
[ "$(id -u)" -eq 0 ] || skip "a clean root needs root (debootstrap, chroot, mount)"
command -v debootstrap > /dev/null || skip "debootstrap is not installed"
command -v chroot > /dev/null || skip "chroot is not installed"

# The machine's own Debian archives, as apt here knows them: "URI SUITE" lines.
python3 - > "$work/archives" <<'PY'
import glob, re

entries = []
for path in sorted(glob.glob("/etc/apt/sources.list.d/*.sources")):
    for stanza in re.split(r"\n\s*\n", open(path).read()):
        fields, key = {}, None
        for line in stanza.splitlines():
            if line.startswith("#"):
                continue
            if line[:1].isspace() and key:
                fields[key] += " " + line.strip()
            elif ":" in line:
                key, value = line.split(":", 1)
                key = key.strip().lower()
                fields[key] = value.strip()
        if fields.get("enabled", "yes").lower() == "no" or "deb" not in fields.get("types", "").split():
            continue
        entries += [(uri, suite) for uri in fields.get("uris", "").split() for suite in fields.get("suites", "").split()]

for path in ["/etc/apt/sources.list"] + sorted(glob.glob("/etc/apt/sources.list.d/*.list")):
    try:
        lines = open(path).read().splitlines()
    except OSError:
        continue
    for line in lines:
        words = line.split("#", 1)[0].split()
        if not words or words[0] != "deb":
            continue
        words = words[1:]
        if words and words[0].startswith("["):
            while words and not words[0].endswith("]"):
                words.pop(0)
            words = words[1:]
        if len(words) >= 2:
            entries.append((words[0], words[1]))

seen = set()
for uri, suite in entries:
    if suite in ("bookworm", "bookworm-updates", "bookworm-security") and (uri, suite) not in seen:
        seen.add((uri, suite))
        print(uri.rstrip("/"), suite)
PY
mirror=$(awk '$2 == "bookworm" { print $1; exit }' "$work/archives")
[ -n "$mirror" ] || skip "apt's sources on this machine name no Debian bookworm archive"
/usr/lib/apt/apt-helper download-file "$mirror/dists/bookworm/Release" "$work/Release" > /dev/null 2>&1 \
    || skip "the mirror $mirror cannot be reached"

mkdir "$work/probe"
mount -t proc proc "$work/probe" 2> /dev/null || skip "mounting is not allowed here (a chroot needs /proc)"
umount "$work/probe"

echo "== a clean Debian 12 root"
root="$work/root"
mkdir "$root"
cache="$buildDir/package-root/bookworm-minbase-$arch.tar"
if [ -f "$cache" ]; then
    started=$(date +%s)
    tar --numeric-owner -xpf "$cache" -C "$root"
    echo "unpacked the root kept from an earlier run ($cache) in $(seconds_since "$started") s"
else
    started=$(date +%s)
    if ! debootstrap --variant=minbase bookworm "$root" "$mirror" > "$work/debootstrap.log" 2>&1; then
        tail -n 30 "$work/debootstrap.log"
        fail "debootstrap failed"
    fi
    echo "bootstrapped bookworm (minbase) from $mirror in $(seconds_since "$started") s"
    mkdir -p "$(dirname "$cache")"
    tar --numeric-owner -cpf "$cache.part" -C "$root" .
    mv "$cache.part" "$cache"
fi

# The root's apt reads what this machine's does, the security archive too.
awk '{ print "deb " $1 " " $2 " main" }' "$work/archives" > "$root/etc/apt/sources.list"
cp /etc/resolv.conf "$root/etc/resolv.conf"
# Nothing installed into the root starts a service.
printf '#!/bin/sh\nexit 101\n' > "$root/usr/sbin/policy-rc.d"
chmod 755 "$root/usr/sbin/policy-rc.d"

mount -t proc proc "$root/proc"
mounted+=("$root/proc")

in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive "$@"; }

echo "== apt-get install ./$(basename "$deb")"
cp "$deb" "$root/tmp/"
# The packages apt fetched last time are offered again, so that a second run
# downloads only what changed; apt checks them against the archive's hashes.
archiveCache="$buildDir/package-root/apt-archives"
if [ -d "$archiveCache" ]; then
    find "$archiveCache" -maxdepth 1 -name '*.deb' -exec cp -t "$root/var/cache/apt/archives/" {} +
fi
started=$(date +%s)
in_root apt-get update -q > "$work/apt.log" 2>&1 || { tail -n 20 "$work/apt.log"; fail "apt-get update failed in the root"; }
# Without recommended packages: what the program needs must be in Depends.
in_root apt-get install -y -q --no-install-recommends "/tmp/$(basename "$deb")" >> "$work/apt.log" 2>&1 \
    || { tail -n 30 "$work/apt.log"; fail "apt-get could not install the package"; }
echo "installed with its dependencies ($(in_root dpkg-query -W | wc -l) packages in the root now) in $(seconds_since "$started") s"
rm -rf "$archiveCache.part"
mkdir -p "$archiveCache.part"
find "$root/var/cache/apt/archives" -maxdepth 1 -name '*.deb' -exec cp -t "$archiveCache.part/" {} +
rm -rf "$archiveCache"
mv "$archiveCache.part" "$archiveCache"
in_root dpkg-query -W -f='${Status}\n' tocksley | grep -qx "install ok installed" || fail "dpkg does not list tocksley as installed"
for binary in tocksley tocksley-cli; do
    in_root sh -c "command -v $binary" | grep -qx "/usr/bin/$binary" || fail "$binary is not on the root's PATH"
done

# JUCE looks for fonts in the directories that fonts.conf names, and the panel
# draws no text without one.
fontDirs=$(sed -n 's|.*<dir>\(/[^<]*\)</dir>.*|\1|p' "$root/etc/fonts/fonts.conf" 2>/dev/null || true)
[ -n "$fontDirs" ] || fail "the root has no /etc/fonts/fonts.conf naming font directories"
faces=$(for dir in $fontDirs; do [ -d "$root$dir" ] && find "$root$dir" -name 'DejaVuSans.ttf' -o -name 'Carlito-Regular.ttf'; done)
[ -n "$faces" ] || fail "no DejaVu Sans nor Carlito below the font directories $(echo $fontDirs)"

# The programs run as a user with a home of their own, as they would on a desktop.
in_root useradd --create-home --uid 4321 player
as_player() { chroot --userspec=4321:4321 "$root" env -i PATH=/usr/bin:/bin HOME=/home/player LANG=C.UTF-8 "$@"; }

echo "== tocksley-cli render in the root"
renderArgs=(render --bpm 132 --beats 3 --accent 1 --seconds 2 --block 256)
as_player tocksley-cli "${renderArgs[@]}" --out /home/player/click.wav || fail "tocksley-cli render failed in the root"
python3 - "$root/home/player/click.wav" <<'PY' || fail "tocksley-cli wrote no proper click track"
import array, struct, sys

data = open(sys.argv[1], "rb").read()
if data[:4] != b"RIFF" or data[8:12] != b"WAVE":
    sys.exit("not a RIFF WAVE file")
chunks, at = {}, 12
while at + 8 <= len(data):
    tag, size = data[at:at + 4], struct.unpack("<I", data[at + 4:at + 8])[0]
    chunks[tag] = data[at + 8:at + 8 + size]
    at += 8 + size + (size & 1)
fmt, samples = chunks.get(b"fmt "), chunks.get(b"data")
if fmt is None or samples is None:
    sys.exit("no fmt or data chunk")
formatTag, channels, rate, _, _, bits = struct.unpack("<HHIIHH", fmt[:16])
if formatTag == 0xFFFE:
    formatTag = struct.unpack("<H", fmt[24:26])[0]
if (formatTag, channels, rate, bits) != (3, 2, 48000, 32):
    sys.exit("format %d, %d channels, %d Hz, %d bits: not 32-bit float stereo at 48 kHz" % (formatTag, channels, rate, bits))
frames = len(samples) // 8
if frames != 2 * 48000:
    sys.exit("%d frames, not the 96000 of two seconds" % frames)
values = array.array("f", samples)
peak = max(abs(v) for v in values)
if peak < 0.05:
    sys.exit("silent: peak %.4f" % peak)
print("click track: %d frames of 32-bit float stereo at 48 kHz, peak %.3f" % (frames, peak))
PY
# The installed program is the one this build made: the same track, byte for byte.
(cd "$work" && "$buildDir/tocksley-cli" "${renderArgs[@]}" --out "$work/build-click.wav") || fail "the build tree's tocksley-cli failed"
cmp -s "$root/home/player/click.wav" "$work/build-click.wav" || fail "the installed tocksley-cli renders another track than the build tree's"
as_player tocksley-cli --help > /dev/null || fail "tocksley-cli --help failed in the root"

echo "== tocksley in the root, on a virtual display"
# The display server runs outside the root, as it would on a desktop: installing
# Xvfb in the root would bring X libraries that could hide a missing dependency.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3> "$work/display" > "$work/xvfb.log" 2>&1 &
xvfbPid=$!
for _ in $(seq 1 100); do
    [ -s "$work/display" ] && break
    kill -0 "$xvfbPid" 2>/dev/null || { cat "$work/xvfb.log"; fail "Xvfb did not start"; }
    sleep 0.1
done
display=$(head -n 1 "$work/display")
[ -n "$display" ] || fail "Xvfb named no display"
socket="/tmp/.X11-unix/X$display"
mkdir -p "$root/tmp/.X11-unix"
chmod 1777 "$root/tmp/.X11-unix"
touch "$root$socket"
mount --bind "$socket" "$root$socket"
mounted+=("$root$socket")

# A desktop has a window manager, which sets what JUCE reads to lay out the screens.
if command -v openbox > /dev/null; then
    DISPLAY=":$display" openbox > "$work/openbox.log" 2>&1 &
    wmPid=$!
fi

# Started directly, not through a function, so that $! is the program itself
# (chroot and env replace themselves with it) and the signal reaches it.
chroot --userspec=4321:4321 "$root" env -i PATH=/usr/bin:/bin HOME=/home/player LANG=C.UTF-8 DISPLAY=":$display" \
    tocksley > "$work/app.log" 2>&1 &
appPid=$!

window=""
for _ in $(seq 1 150); do
    window=$(DISPLAY=:$display xdotool search --name '^Tocksley$' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && DISPLAY=:$display xwininfo -id "$window" | grep -q "Map State: IsViewable" && break
    window=""
    kill -0 "$appPid" 2>/dev/null || { cat "$work/app.log"; fail "tocksley exited before it showed a window"; }
    sleep 0.2
done
[ -n "$window" ] || { cat "$work/app.log"; fail "tocksley showed no window named Tocksley"; }
echo "tocksley's window is up: $(DISPLAY=:$display xwininfo -id "$window" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')"

# A fault in painting or in the first timer callbacks shows within seconds of running.
sleep 3
kill -0 "$appPid" 2>/dev/null || { cat "$work/app.log"; fail "tocksley died after its window appeared"; }

kill -INT "$appPid"
for _ in $(seq 1 100); do
    kill -0 "$appPid" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$appPid" 2>/dev/null && { cat "$work/app.log"; fail "tocksley did not quit on SIGINT"; }
wait "$appPid" && appStatus=0 || appStatus=$?
appPid=""
[ "$appStatus" -eq 0 ] || { cat "$work/app.log"; fail "tocksley exited with status $appStatus"; }
[ -f "$root/home/player/.config/Orlavane/Tocksley/preset.dat" ] || fail "tocksley wrote no preset file in its fresh home"
echo "tocksley quit with status 0 and wrote its preset file"

# ---------------------------------------------------------------------------
echo "== the package"
echo "file: $(basename "$deb"), $(stat -c %s "$deb") bytes; Installed-Size: $(field Installed-Size) KiB"
echo "Depends: $depends"
echo "the test took $(seconds_since "$testStart") s"
