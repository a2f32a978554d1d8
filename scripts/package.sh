#!/usr/bin/env bash
# Builds the Debian package build/packages/quorvane_VERSION_ARCH.deb: a release build installed
# under /usr with Debian's hardening flags, packed by CPack, then checked by lintian (any error
# fails this script) and described (size and dependencies).
#   package.sh            build, pack and check
#   package.sh --no-lintian   skip the lintian check (quicker, for trying the package out)
set -euo pipefail
cd "$(dirname "$0")/.."

lintian=1
case "${1:-}" in
    "") ;;
    --no-lintian) lintian=0 ;;
    *) echo "usage: $0 [--no-lintian]" >&2; exit 2 ;;
esac

scripts/install-deps.sh package

# The compiler and linker flags Debian builds its own packages with (fortified functions, stack
# protector, read-only relocations, immediate binding).
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)

echo "=== build ==="
cmake --preset package -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags"
cmake --build --preset package

echo "=== pack ==="
mkdir -p build/packages
(cd build/package && cpack -B "$PWD/../packages" >/dev/null)
rm -rf build/packages/_CPack_Packages
deb=$(ls -t build/packages/quorvane_*.deb | head -n 1)
echo "$deb: $(du -k "$deb" | cut -f1) KiB, installed $(dpkg-deb -f "$deb" Installed-Size) KiB"
echo "Depends: $(dpkg-deb -f "$deb" Depends)"
echo "Recommends: $(dpkg-deb -f "$deb" Recommends)"

if [ "$lintian" = 1 ]; then
    echo "=== lintian ==="
    # Errors fail the build; warnings and notes are shown for whoever reads the log.
    lintian --fail-on error --display-info --tag-display-limit 0 "$deb" || {
        echo "lintian found errors in $deb" >&2
        exit 1
    }
    echo "lintian: no errors"
fi
echo "$deb"
