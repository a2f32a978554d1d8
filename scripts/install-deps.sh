#!/usr/bin/env bash
# Installs the Debian packages Quorvane needs, when they are missing.
#   install-deps.sh build   what building and testing need
#   install-deps.sh run     what building, installing and running the desktop program need
#   install-deps.sh screenshot   what the screenshot script needs
#   install-deps.sh package      what building and checking the Debian package need
#   install-deps.sh bench        what building and running the benchmarks need, with ccrypt
set -euo pipefail

build_packages=(
    cmake ninja-build g++ clang libclang-rt-14-dev pkg-config
    libgtest-dev libgmock-dev libgcrypt20-dev
    qt6-base-dev qt6-base-dev-tools libgl-dev libglib2.0-dev libxkbcommon-dev
    shared-mime-info dpkg-dev desktop-file-utils appstream libxml2-utils
    groff-base man-db bash-completion zsh fish
)
screenshot_packages=(
    xvfb xauth x11-utils imagemagick fonts-noto-cjk adwaita-icon-theme
)
package_packages=(
    "${build_packages[@]}"
    lintian
)
bench_packages=(
    "${build_packages[@]}"
    ccrypt
)
run_packages=(
    "${build_packages[@]}"
    fonts-noto-cjk xdg-utils cups-client desktop-file-utils hicolor-icon-theme
    qt6-gtk-platformtheme adwaita-icon-theme
)

case "${1:-build}" in
    build) wanted=("${build_packages[@]}") ;;
    run) wanted=("${run_packages[@]}") ;;
    screenshot) wanted=("${screenshot_packages[@]}") ;;
    package) wanted=("${package_packages[@]}") ;;
    bench) wanted=("${bench_packages[@]}") ;;
    *) echo "usage: $0 [build|run|screenshot|package|bench]" >&2; exit 2 ;;
esac

missing=()
for package in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
