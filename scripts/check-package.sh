#!/usr/bin/env bash
# Checks what the release build installs and the Debian package made from it:
# the installed tree (exactly these files, nothing outside the prefix), the menu entry
# and metainfo validators, the manual page against `distmem-batch --help`, a training
# run of the installed distmem-batch on an installed example, and lintian on the
# package (an error fails; warnings are printed). Installs into a temporary DESTDIR only:
# the machine's own package state is never touched.
set -euo pipefail
cd "$(dirname "$0")/.."

fail() {
    echo "check-package: $*" >&2
    exit 1
}

cmake --preset release >/dev/null
cmake --build --preset release

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
DESTDIR="$root" cmake --install build/release --prefix /usr >/dev/null

id=io.github.distmem.distmem
expected="usr/bin/distmem
usr/bin/distmem-batch
usr/libexec/distmem/distmem-network-reader
usr/share/applications/$id.desktop
usr/share/doc/distmem/changelog.gz
usr/share/doc/distmem/copyright
usr/share/doc/distmem/examples/README.md
usr/share/doc/distmem/examples/bipolar.net
usr/share/doc/distmem/examples/dependent.net
usr/share/doc/distmem/examples/independent.net
usr/share/doc/distmem/examples/large.net
usr/share/doc/distmem/examples/orthonormal.net
usr/share/doc/distmem/examples/single.net
usr/share/doc/distmem/examples/tiny.net
usr/share/icons/hicolor/48x48/apps/$id.png
usr/share/icons/hicolor/scalable/apps/$id.svg
usr/share/man/man1/distmem-batch.1.gz
usr/share/man/man1/distmem.1.gz
usr/share/metainfo/$id.metainfo.xml
usr/share/mime/packages/$id.xml"

installed=$(cd "$root" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort)
if [ "$installed" != "$expected" ]; then
    diff <(echo "$expected") <(echo "$installed") >&2 || true
    fail "the installed tree differs from the expected one (- expected, + installed)"
fi
echo "check-package: installed tree as expected ($(echo "$installed" | wc -l) files)"

desktop-file-validate "$root/usr/share/applications/$id.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml"
grep -q 'glob pattern="\*\.net"' "$root/usr/share/mime/packages/$id.xml" ||
    fail "the training files' type does not name *.net"
file "$root/usr/share/icons/hicolor/48x48/apps/$id.png" | grep -q '48 x 48' ||
    fail "the 48x48 icon is not 48 by 48 pixels"

# Every option the installed batch trainer lists must be in its manual page.
batch="$root/usr/bin/distmem-batch"
page=$(MANWIDTH=200 man -l "$root/usr/share/man/man1/distmem-batch.1.gz" 2>/dev/null)
for option in $("$batch" --help | grep -oE -- '--[a-z][a-z-]*' | sort -u); do
    grep -qF -- "$option" <<<"$page" || fail "distmem-batch.1 does not describe $option"
done

# The installed trainer on an installed example: Delta at rate 0.5 quarters tiny.net's
# SSE each epoch (0.25, then 0.0625).
work="$root/run"
mkdir "$work"
line=$("$batch" "$root/usr/share/doc/distmem/examples/tiny.net" --rule Delta --rate 0.5 \
    --epochs 2 --report "$work/report.txt" --sections 1)
[ "$line" = "tiny.net: Delta rule, rate 0.5, 2 epochs, total SSE 0.0625" ] ||
    fail "the installed distmem-batch printed \"$line\""
grep -q "Training completed after 2 epochs" "$work/report.txt" ||
    fail "the installed distmem-batch wrote no report"
echo "check-package: installed distmem-batch trains the installed tiny.net"

# Network files are opened through the installed reader, found from the program's folder.
"$batch" "$root/usr/share/doc/distmem/examples/tiny.net" --epochs 3 --quiet \
    --save-network "$work/tiny.h5" >/dev/null || fail "the installed distmem-batch saved no network"
line=$(env -u DAM_NETWORK_READER "$batch" "$work/tiny.h5")
[ "$line" = "tiny.net: Hebb rule, rate 0.1, 3 epochs, total SSE 0.64999999999999991" ] ||
    fail "the installed distmem-batch opened its network through its reader as \"$line\""
echo "check-package: installed distmem-batch opens a network through the installed reader"

# The package.
rm -f build/release/distmem_*.deb
cpack --preset release >"$root/cpack.log" 2>&1 || { cat "$root/cpack.log" >&2; fail "cpack failed"; }
deb=$(ls build/release/distmem_*.deb)
packaged=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./||' | LC_ALL=C sort)
[ "$packaged" = "$expected" ] || fail "$deb holds other files than the install"
control=$(dpkg-deb -f "$deb")
for field in "Section: science" "Depends: .*libqt6widgets6" "Maintainer: .*<.*@.*>"; do
    grep -qE "^$field" <<<"$control" || fail "$deb has no \"$field\" in its control file"
done
status=0
report=$(lintian --fail-on error "$deb" 2>&1) || status=$?
grep -v 'running with root privileges' <<<"$report" || true
[ "$status" -eq 0 ] || fail "lintian reports errors on $deb"
echo "check-package: $deb passes lintian"
