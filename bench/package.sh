#!/usr/bin/env bash
# Builds the Debian package (scripts/package) and checks it: control fields, the
# exact file list, lintian, the desktop entry, the AppStream metadata and the
# manual pages. Then, as root, installs it into a fresh Debian 12 made with
# debootstrap from the mirror apt uses here (none of the build packages in it),
# runs the programs there, removes the package and checks that nothing is left
# but the user's settings. Prints the figures: package size, build, install and
# remove times.
# Usage: bench/package.sh [--no-chroot]
# QZ_CHROOT_BASE keeps the bootstrapped system between runs (each run copies it).
set -euo pipefail
cd "$(dirname "$0")/.."
chroot_run=1
[[ ${1:-} == --no-chroot ]] && chroot_run=0
. scripts/deps.sh
qz_install_missing lintian appstream desktop-file-utils man-db

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# expect NAME ACTUAL WANTED
expect() { [[ $2 == "$3" ]] || fail "$1 is '$2', expected '$3'"; }
# since START: seconds from START (date +%s.%N) to now
since() { awk -v a="$1" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }'; }

work="$(mktemp -d)"
root=""
cleanup() {
  if [[ -n $root ]]; then
    for m in dev/pts dev proc; do umount "$root/$m" 2>/dev/null || true; done
    rm -rf --one-file-system "$root"
  fi
  rm -rf "$work"
}
trap cleanup EXIT

start=$(date +%s.%N)
deb="$(scripts/package 2>"$work/package.log")" || { tail -20 "$work/package.log"; exit 1; }
echo "build: $(since "$start") s"
echo "package: $deb ($(stat -c %s "$deb") bytes)"

field() { dpkg-deb -f "$deb" "$1"; }
expect Package "$(field Package)" qz4veld
expect Version "$(field Version)" "1.02-1"
expect Architecture "$(field Architecture)" "$(dpkg --print-architecture)"
expect Maintainer "$(field Maintainer)" "Seed 7adfed92 maintainers <maintainers@users.noreply.c-seed-7adfed92.example>"
for lib in libqt6serialport6 libqt6printsupport6 libqt6widgets6; do
  [[ $(field Depends) == *"$lib "* ]] || fail "Depends lacks $lib: $(field Depends)"
done
[[ $(field Description | wc -l) -gt 3 ]] || fail "no long description"

# Every file and link, and nothing else (folders aside).
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort >"$work/files"
sort >"$work/wanted" <<'EOF'
./opt/qz4veld/CreateString.htm
./opt/qz4veld/EnterKey.htm
./opt/qz4veld/Misc.htm
./opt/qz4veld/OverView.htm
./opt/qz4veld/Verify.htm
./opt/qz4veld/checkmark.gif
./opt/qz4veld/question-mark.gif
./opt/qz4veld/qz4veld-cli
./opt/qz4veld/qz4veld-config
./opt/qz4veld/qz4veld-sim
./usr/bin/qz4veld-cli
./usr/bin/qz4veld-config
./usr/share/applications/qz4veld-config.desktop
./usr/share/bash-completion/completions/qz4veld-cli
./usr/share/doc/qz4veld/changelog.Debian.gz
./usr/share/doc/qz4veld/copyright
./usr/share/icons/hicolor/scalable/apps/qz4veld-config.svg
./usr/share/lintian/overrides/qz4veld
./usr/share/man/man1/qz4veld-cli.1.gz
./usr/share/man/man1/qz4veld-config.1.gz
./usr/share/metainfo/example.c_seed_7adfed92.qz4veld.metainfo.xml
EOF
diff -u "$work/wanted" "$work/files" >&2 || fail "file list differs (above)"
dpkg-deb -c "$deb" | grep ' ./usr/bin/qz4veld-cli -> /opt/qz4veld/qz4veld-cli$' >/dev/null || fail "link /usr/bin/qz4veld-cli"

dpkg-deb -x "$deb" "$work/x"
desktop-file-validate "$work/x/usr/share/applications/qz4veld-config.desktop" || fail desktop-file-validate
appstreamcli validate --no-net "$work/x/usr/share/metainfo/"*.metainfo.xml >"$work/as" 2>&1 ||
  { cat "$work/as"; fail "appstreamcli validate"; }
for page in "$work/x/usr/share/man/man1/"*; do
  warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)"
  [[ -z $warnings ]] || fail "man $page: $warnings"
done
lintian --fail-on error "$deb" >"$work/lintian" 2>&1 || fail "lintian errors"
echo "lintian: $(grep -c '^E:' "$work/lintian") errors, $(grep -c '^W:' "$work/lintian") warnings"
sed 's/^/  /' "$work/lintian"

if [[ $chroot_run == 0 ]]; then
  echo "failures: $failures"
  exit $((failures > 0))
fi
[[ $(id -u) == 0 ]] || { echo "the install run needs root (or --no-chroot)"; exit 1; }
qz_install_missing debootstrap

# The mirror apt uses here, the first Debian one in its sources.
mirror="$(cat /etc/apt/sources.list /etc/apt/sources.list.d/*.sources /etc/apt/sources.list.d/*.list 2>/dev/null |
  grep -oE '^(URIs:|deb) *https?://[^ ]*/debian/?( |$)' | head -n 1 | grep -oE 'https?://[^ ]*' || true)"
[[ -n $mirror ]] || { echo "no Debian mirror in apt's sources"; exit 1; }
base="${QZ_CHROOT_BASE:-/tmp/qz4veld-bookworm-base}"
if [[ ! -x $base/usr/bin/apt-get ]]; then
  rm -rf --one-file-system "$base"
  t=$(date +%s)
  debootstrap --variant=minbase bookworm "$base" "$mirror" >"$work/debootstrap.log" 2>&1 ||
    { tail "$work/debootstrap.log"; exit 1; }
  echo "debootstrap bookworm from $mirror: $(($(date +%s) - t)) s"
fi
root="$(mktemp -d /tmp/qz4veld-chroot.XXXXXX)"
cp -a "$base/." "$root/"
cp /etc/resolv.conf "$root/etc/resolv.conf"
mount -t proc proc "$root/proc"
mount --bind /dev "$root/dev"
mount --bind /dev/pts "$root/dev/pts"
cp "$deb" "$root/root/"
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"; }
for p in g++ cmake qt6-base-dev dpkg-dev; do
  in_root dpkg -s "$p" >/dev/null 2>&1 && fail "$p is in the fresh system"
done
in_root useradd -m tech
in_root apt-get update -q >/dev/null
pkg="/root/$(basename "$deb")"
pkg_install() { in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$pkg" >"$work/install.log" 2>&1 ||
  { tail "$work/install.log"; fail "apt-get install"; }; }
pkg_remove() { in_root apt-get remove -y -q qz4veld >"$work/remove.log" 2>&1 || { tail "$work/remove.log"; fail "apt-get remove"; }; }
# Every name in the system but the kernel's, the package manager's own records,
# logs and caches.
snapshot() {
  (cd "$root" && find . -xdev \( -path ./proc -o -path ./dev -o -path ./sys -o -path ./tmp -o -path ./run \
    -o -path ./var/lib/dpkg -o -path ./var/lib/apt -o -path ./var/cache -o -path ./var/log \) -prune -o -print) |
    sed 's/^\.//' | sort >"$work/$1"
}

t=$(date +%s.%N)
pkg_install
echo "install with dependencies: $(since "$t") s, $(grep -oE '[0-9]+ newly installed' "$work/install.log")"
pkg_remove
# Second round on the system as the first left it (dependencies in place): the
# removal must bring it back to exactly that, but for the user's own files.
snapshot before
t=$(date +%s.%N)
pkg_install
echo "install again: $(since "$t") s"

# The programs start with what the package brought: the command-line tool
# talks to the simulator on a pseudo-terminal, the window opens off screen.
expect "installed qz4veld-cli --version" "$(in_root qz4veld-cli --version)" "qz4veld-cli 1.02"
(exec chroot "$root" /opt/qz4veld/qz4veld-sim >"$work/sim.out" 2>/dev/null) &
sim=$!
for _ in $(seq 1 100); do [[ -s $work/sim.out ]] && break; sleep 0.05; done
pty="$(head -n 1 "$work/sim.out")"
chmod 666 "$pty"
last="$(in_root su tech -c "qz4veld-cli --quiet --port $pty version" | tail -n 1)"
kill "$sim"
wait "$sim" 2>/dev/null || true
echo "installed qz4veld-cli version against the simulator: $last"
[[ $last == *Successful* ]] || fail "installed qz4veld-cli version"
status=0
in_root su tech -c "QT_QPA_PLATFORM=offscreen timeout 3 qz4veld-config" >"$work/gui.log" 2>&1 || status=$?
expect "installed qz4veld-config still running after 3 s (timeout's status)" "$status" 124
# A user's settings, as SAVE writes them for an installed program.
in_root su tech -c "mkdir -p ~/.config/qz4veld && printf '[GENERAL]\nPORT=1\n' >~/.config/qz4veld/QZ4Vel.ini"

t=$(date +%s.%N)
pkg_remove
echo "remove: $(since "$t") s"
snapshot after
expect "dpkg status after remove" "$(in_root dpkg-query -W -f '${db:Status-Abbrev}' qz4veld 2>/dev/null || true)" ""
while read -r path; do
  [[ -e $root/$path || -L $root/$path ]] && fail "left behind: $path"
done <"$work/files"
gone="$(comm -23 "$work/before" "$work/after")"
expect "files gone by install and remove" "$gone" ""
left="$(comm -13 "$work/before" "$work/after")"
echo "left after remove:" $left
[[ -z $(grep -v '^/home/tech/' <<<"$left") ]] || fail "left after remove outside the user's home"
grep -qx /home/tech/.config/qz4veld/QZ4Vel.ini <<<"$left" || fail "the user's settings are gone"
echo "failures: $failures"
exit $((failures > 0))
