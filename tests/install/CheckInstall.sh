#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a user gets: the program, its help
# file beside the crypted files' icon, the desktop entry and file type, and a registry with the
# first values that is written once and never overwritten.
#   CheckInstall.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
fail() { echo "FAILED: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >"$work/install.log" || { cat "$work/install.log"; fail "install"; }
for file in bin/quorvane bin/quorvane-register share/quorvane/Quorvane.html \
    share/quorvane/crypted-file.png share/applications/quorvane.desktop \
    share/mime/packages/quorvane.xml share/icons/hicolor/64x64/apps/quorvane.png \
    share/icons/hicolor/64x64/mimetypes/application-x-quorvane-crypted.png; do
    [ -s "$prefix/$file" ] || fail "$file is not installed"
done
for topic in 10 20 50 60 70 80; do
    grep -q "id=\"topic-$topic\"" "$prefix/share/quorvane/Quorvane.html" || fail "no help topic $topic"
done
grep -q '^Exec=quorvane %F$' "$prefix/share/applications/quorvane.desktop" || fail "desktop Exec"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$prefix/share/applications/quorvane.desktop" || fail "desktop entry"
fi
if command -v xmllint >/dev/null; then
    xmllint --noout "$prefix/share/mime/packages/quorvane.xml" || fail "mime type"
fi

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
echo "installation checked"
