#!/usr/bin/env bash
# Tries the Debian package the way a new user gets it: makes a fresh Debian 12 root with
# mmdebstrap, installs build/packages/quorvane_*.deb into it with apt (which fetches the
# dependencies), and as a new user runs quorvane-cli round trips with every method and starts
# quorvane on Qt's offscreen platform, which must write that user's first settings and print
# nothing. Prints the time of each step. Needs root and the network; not part of the tests.
#   try-package.sh [DEB] [ROOT_FOLDER]     default: the newest package, a temporary folder
set -euo pipefail
cd "$(dirname "$0")/.."

[ "$(id -u)" -eq 0 ] || { echo "try-package.sh needs root (chroot, mounts)" >&2; exit 2; }
deb=${1:-$(ls -t build/packages/quorvane_*.deb 2>/dev/null | head -n 1)}
[ -f "$deb" ] || { echo "no package: run scripts/package.sh first" >&2; exit 2; }
keep=${2:+yes}
root=${2:-$(mktemp -d /var/tmp/quorvane-root.XXXXXX)}
command -v mmdebstrap >/dev/null || apt-get install -y -q --no-install-recommends mmdebstrap

cleanup() {
    umount -l "$root/proc" 2>/dev/null || true
    umount -l "$root/dev" 2>/dev/null || true
    [ -n "$keep" ] || rm -rf "$root"
}
trap cleanup EXIT

stamp() { date +%s.%N; }
took() { printf '%.1f s' "$(echo "$(stamp) - $1" | bc)"; }
in_root() { chroot "$root" "$@"; }
as_user() { chroot "$root" runuser -u alice -- env -i HOME=/home/alice PATH=/usr/bin:/bin "$@"; }

t=$(stamp)
echo "=== a fresh Debian 12 root in $root"
mmdebstrap --quiet --variant=apt --include=bc,passwd bookworm "$root" http://deb.debian.org/debian
echo "made in $(took "$t")"
mount -t proc proc "$root/proc"
mount --bind /dev "$root/dev"

t=$(stamp)
echo "=== apt install ./$(basename "$deb")"
cp "$deb" "$root/tmp/"
# mmdebstrap leaves no package lists behind; a new machine's first step is the same.
in_root apt-get update -q >"$root/tmp/apt.log" 2>&1 || { cat "$root/tmp/apt.log"; exit 1; }
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "/tmp/$(basename "$deb")" \
    >>"$root/tmp/apt.log" 2>&1 || { tail -n 30 "$root/tmp/apt.log"; exit 1; }
grep -E '^[0-9]+ upgraded, [0-9]+ newly installed' "$root/tmp/apt.log" || true
echo "installed in $(took "$t")"
in_root dpkg-query -W -f='${Package} ${Version} ${Installed-Size} KiB installed\n' quorvane

in_root useradd --create-home alice
echo "=== quorvane-cli round trips as a new user"
in_root sh -c 'head -c 1048583 /dev/urandom >/home/alice/data.bin && chown alice: /home/alice/data.bin'
for method in des 3xdes idea; do
    t=$(stamp)
    as_user sh -c "cd && cp data.bin $method.bin && P=pass-$method quorvane-cli encrypt \
        --method $method --password-env P $method.bin && test ! -e $method.bin && \
        P=pass-$method quorvane-cli decrypt --password-env P $method.bin.cry && \
        cmp data.bin $method.bin" || { echo "round trip with $method failed" >&2; exit 1; }
    echo "$method: 1 MiB encrypted and decrypted back in $(took "$t")"
done

echo "=== quorvane's first start as a new user (offscreen)"
first_start() {
    local t pid
    t=$(stamp)
    chroot "$root" runuser -u alice -- env -i HOME=/home/alice PATH=/usr/bin:/bin \
        QT_QPA_PLATFORM=offscreen sh -c 'cd && exec quorvane 2>stderr' &
    pid=$!
    for _ in $(seq 1 200); do
        [ -s "$root/home/alice/.config/quorvane/registry.reg" ] && break
        sleep 0.05
    done
    echo "settings there after $(took "$t")"
    sleep 3
    kill -0 "$pid" 2>/dev/null || { echo "quorvane ended on its own" >&2; exit 1; }
    # The window stays open; end the quorvane that runs inside this root.
    for p in $(pgrep -x quorvane); do
        if [ "$(readlink "/proc/$p/root")" = "$(realpath "$root")" ]; then kill "$p"; fi
    done
    wait "$pid" 2>/dev/null || true
}
first_start
[ -s "$root/home/alice/.config/quorvane/registry.reg" ] || { echo "no first settings" >&2; exit 1; }
# Qt's offscreen platform says that it cannot pass size hints to a window manager; that is the
# platform of this try speaking, not the program.
if grep -v '^This plugin does not support propagateSizeHints()$' "$root/home/alice/stderr" >&2; then
    echo "quorvane printed the lines above" >&2
    exit 1
fi
grep -c '^\[' "$root/home/alice/.config/quorvane/registry.reg" | sed 's/^/settings keys: /'
echo "package tried: all steps passed"
