#!/usr/bin/env bash
# Builds the Debian package from the build tree into OUT_DIR and checks its fields and its
# contents. The package stays in OUT_DIR for run_unpacked.sh.
# Usage: deb_package.sh BUILD_DIR OUT_DIR VERSION
source "$(dirname "$0")/common.sh"
build=$1 out=$2 version=$3
rm -rf "$out"
cpack --config "$build/CPackConfig.cmake" -B "$out" >"$scratch/cpack.log" ||
    fail "cpack: $(cat "$scratch/cpack.log")"
rm -rf "$out/_CPack_Packages"
deb=$out/zuvex-konfigurator_${version}_amd64.deb
[ -f "$deb" ] || fail "no $deb: $(ls "$out")"

dpkg-deb --info "$deb" >/dev/null || fail "dpkg-deb --info"
field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = zuvex-konfigurator ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[ "$(field Architecture)" = amd64 ] || fail "Architecture: $(field Architecture)"
[ "$(field Section)" = comm ] || fail "Section: $(field Section)"
[[ "$(field Maintainer)" == *@* ]] || fail "Maintainer: $(field Maintainer)"
[ -n "$(field Description)" ] || fail "no Description"
depends=$(field Depends)
# computed from the libraries, plus the font; the GIF plugin's package (whatever package
# holds it on this system) must be among them
gif_package=$(dpkg -S '*/imageformats/libqgif.so' | head -n1 | cut -d: -f1)
for p in libc6 libqt6core6 libqt6widgets6 libqt6printsupport6 fonts-liberation2 "$gif_package"; do
    [[ ", $depends," == *", $p "* || ", $depends," == *", $p,"* ]] ||
        fail "Depends lacks $p: $depends"
done
dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./conffiles | grep -qx /etc/xdg/zuvex910k/registry.reg ||
    fail "the system settings default is no conffile"

# What a Debian maintainer checks before signing: lintian finds no error and no warning, and
# both programs are built hardened. Control-flow protection is compiled in, but Debian 12's C
# start files lack its marking, so no program linked there carries it (/bin/ls neither).
lintian --fail-on error,warning "$deb" >"$scratch/lintian.log" 2>&1 ||
    fail "lintian: $(cat "$scratch/lintian.log")"
dpkg-deb -x "$deb" "$scratch/root"
for program in zuvex-konfigurator zuvex-sim; do
    hardening-check --quiet --nocfprotection "$scratch/root/usr/bin/$program" ||
        fail "$program not hardened: $(hardening-check "$scratch/root/usr/bin/$program")"
done
# the copyright file states the licence of the AppStream metadata; the changelog's newest
# entry is this version
doc=$scratch/root/usr/share/doc/zuvex-konfigurator
license=$(sed -n 's|.*<project_license>\(.*\)</project_license>.*|\1|p' \
    "$scratch/root/usr/share/metainfo/$id.metainfo.xml")
head -n1 "$doc/copyright" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
    fail "copyright is not machine-readable"
grep -qx "License: $license" "$doc/copyright" || fail "copyright does not state $license"
zcat "$doc/changelog.gz" >"$scratch/changelog"
changelog_version=$(dpkg-parsechangelog -l "$scratch/changelog" -S Version)
[ "$changelog_version" = "$version" ] || fail "changelog's newest entry is $changelog_version"

contents=$(dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./||' | LC_ALL=C sort)
expect_files "dpkg-deb --contents" "$contents"
echo "$(basename "$deb"), $(stat -c %s "$deb") bytes, Depends: $depends"
