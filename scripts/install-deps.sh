#!/usr/bin/env bash
# Installs the Debian packages the project needs, skipping those already present.
#   scripts/install-deps.sh        what building and running the program needs
#   scripts/install-deps.sh test   that, plus the test, benchmark, fuzzing, printing and
#                                  packaging tools that scripts/test.sh and CI use
# Runs as root (CI does) or through sudo. Packages are installed without their
# recommendations, so every package a build or a test uses is named here.
set -euo pipefail

set_name="${1:-run}"

# Building (release preset) and running distmem and distmem-batch.
run_packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-charts-dev libqt6opengl6-dev libqt6printsupport6 qt6-qpa-plugins
    libeigen3-dev liblapacke-dev libopenblas0-pthread libxlsxwriter-dev libhdf5-dev libcups2-dev
    fonts-liberation
    librsvg2-bin
)

# The dev and asan builds with their tests, the benchmarks, fuzzing (clang), printing
# through a real CUPS queue, the screenshot script, and building and checking the package.
test_packages=(
    libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-14-dev
    locales
    xvfb xdotool xclip imagemagick poppler-utils optipng
    cups printer-driver-cups-pdf
    python3-numpy python3-openpyxl python3-h5py hdf5-tools
    desktop-file-utils appstream lintian dpkg-dev file man-db
)

case "$set_name" in
    run) packages=("${run_packages[@]}") ;;
    test) packages=("${run_packages[@]}" "${test_packages[@]}") ;;
    *)
        echo "usage: scripts/install-deps.sh [run|test]" >&2
        exit 2
        ;;
esac

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    echo "install-deps: all $set_name packages present"
    exit 0
fi

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "install-deps: installing ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
