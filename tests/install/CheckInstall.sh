#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a user gets: the programs, their
# manual pages and completion, the help file beside the crypted files' icon, the desktop entry,
# file type and software-centre metadata (validated), a registry with the first values that is
# written once and never overwritten, also by the program itself on a first start; then packs
# the build as a Debian package and checks what the package holds.
#   CheckInstall.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
fail() { echo "FAILED: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >"$work/install.log" || { cat "$work/install.log"; fail "install"; }
metainfo=share/metainfo/org.quorvane.quorvane.metainfo.xml
installed=(
    bin/quorvane bin/quorvane-cli bin/quorvane-register
    share/man/man1/quorvane.1.gz share/man/man1/quorvane-cli.1.gz
    share/man/man1/quorvane-register.1.gz
    share/quorvane/Quorvane.html share/quorvane/crypted-file.png
    share/applications/quorvane.desktop share/mime/packages/quorvane.xml "$metainfo"
    share/icons/hicolor/64x64/apps/quorvane.png
    share/icons/hicolor/64x64/mimetypes/application-x-quorvane-crypted.png
    share/bash-completion/completions/quorvane-cli
    share/doc/quorvane/copyright share/doc/quorvane/changelog.gz
)
for file in "${installed[@]}"; do
    [ -s "$prefix/$file" ] || fail "$file is not installed"
done
for topic in 10 20 50 60 70 80; do
    grep -q "id=\"topic-$topic\"" "$prefix/share/quorvane/Quorvane.html" || fail "no help topic $topic"
done
grep -q '^Exec=quorvane %F$' "$prefix/share/applications/quorvane.desktop" || fail "desktop Exec"
desktop-file-validate "$prefix/share/applications/quorvane.desktop" || fail "desktop entry"
xmllint --noout "$prefix/share/mime/packages/quorvane.xml" || fail "mime type"
appstreamcli validate --no-net --pedantic "$prefix/$metainfo" >"$work/appstream.log" 2>&1 ||
    { cat "$work/appstream.log"; fail "software-centre metadata"; }
grep -q '<launchable type="desktop-id">quorvane.desktop</launchable>' "$prefix/$metainfo" ||
    fail "the metadata does not launch the desktop entry"

# The release named by the metadata and the changelog is the version that was built.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
grep -q "<release version=\"$version\"" "$prefix/$metainfo" || fail "metadata release is not $version"
zcat "$prefix/share/doc/quorvane/changelog.gz" | head -n 1 | grep -q "^quorvane ($version) " ||
    fail "changelog does not start with $version"

registry=$work/home/.config/quorvane/registry.reg
export QUORVANE_REGISTRY=$registry
"$prefix/bin/quorvane-register" | grep -q "Wrote" || fail "first registry not written"
icon=$(sed -n '/^\[HKEY_CLASSES_ROOT\\crypt file\\DefaultIcon\]/,/^$/ s/^@="\(.*\)"$/\1/p' "$registry")
[ "$icon" = "$(realpath "$prefix/share/quorvane/crypted-file.png")" ] || fail "DefaultIcon is '$icon'"
[ -s "$(dirname "$icon")/Quorvane.html" ] || fail "no help file beside the icon"
grep -q '^@=".*xdg-open %1"$' "$registry" || fail "browser command"
grep -q '"Control"="Method_Panel"' "$registry" || fail "band layout"

echo '; the user changed this' >>"$registry"
before=$(sha256sum <"$registry")
"$prefix/bin/quorvane-register" | grep -q "Kept" || fail "second run did not keep the file"
[ "$(sha256sum <"$registry")" = "$before" ] || fail "the user's registry was overwritten"
unset QUORVANE_REGISTRY

# The installed program, started by a new user without settings, writes the first settings
# before its window and says nothing about the session it lacks. A settings file that is there,
# even a damaged one, is never touched. The window stays open; it is ended after the check.
start_quorvane() { # HOME, then a file to wait for (10 s at most) or "" for none
    local home=$1 wait_for=$2 pid i
    (cd "$home" && exec env -u XDG_RUNTIME_DIR -u XDG_CONFIG_HOME -u QUORVANE_REGISTRY \
        HOME="$home" QT_QPA_PLATFORM=offscreen "$prefix/bin/quorvane" 2>"$home/stderr") &
    pid=$!
    for ((i = 0; i < 100; i++)); do
        if [ -z "$wait_for" ] || [ -s "$wait_for" ] || ! kill -0 "$pid" 2>/dev/null; then
            break
        fi
        sleep 0.1
    done
    # Time for the window to come up and for anything it would print.
    sleep 2
    kill -0 "$pid" 2>/dev/null || { cat "$home/stderr" >&2; fail "quorvane ended on its own"; }
    kill "$pid"
    wait "$pid" 2>/dev/null || true
}
newuser=$work/newuser
mkdir -p "$newuser"
first=$newuser/.config/quorvane/registry.reg
start_quorvane "$newuser" "$first"
[ -s "$first" ] || fail "quorvane did not write the first settings of a new user"
"$prefix/bin/quorvane-register" --quiet --registry "$work/expected.reg"
cmp -s "$first" "$work/expected.reg" || fail "quorvane's first settings differ from quorvane-register's"
# Qt's offscreen platform says that it cannot pass size hints to a window manager; that line is
# the test's own platform speaking, not the program.
if grep -v '^This plugin does not support propagateSizeHints()$' "$newuser/stderr"; then
    fail "quorvane printed something on its first start"
fi

damaged=$work/damaged
mkdir -p "$damaged/.config/quorvane"
printf 'not a registry file\n' >"$damaged/.config/quorvane/registry.reg"
start_quorvane "$damaged" ""
[ "$(cat "$damaged/.config/quorvane/registry.reg")" = "not a registry file" ] ||
    fail "quorvane changed a damaged settings file"

# The Debian package of this build holds the same files.
if command -v dpkg-deb >/dev/null && command -v dpkg-shlibdeps >/dev/null; then
    cpack --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 ||
        { cat "$work/cpack.log"; fail "cpack"; }
    deb=$(ls "$work"/package/quorvane_*.deb)
    install_prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")
    dpkg-deb -c "$deb" | awk '{print $NF}' >"$work/package.list"
    for file in "${installed[@]}"; do
        grep -qx "\.$install_prefix/$file" "$work/package.list" || fail "the package lacks $file"
    done
    [ "$(dpkg-deb -f "$deb" Package)" = quorvane ] || fail "package name"
    [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version"
    depends=$(dpkg-deb -f "$deb" Depends)
    for needed in libqt6widgets6 libc6 xdg-utils cups-client; do
        grep -q "$needed" <<<"$depends" || fail "the package does not depend on $needed: $depends"
    done
fi
echo "installation checked"
