#!/usr/bin/env bash
# cmake --install into a temporary DESTDIR: exactly the expected files, a valid desktop entry,
# valid AppStream metadata and man pages, all carrying the project's version.
# Usage: install_tree.sh BUILD_DIR VERSION
source "$(dirname "$0")/common.sh"
build=$1 version=$2
DESTDIR=$scratch cmake --install "$build" >/dev/null
expect_files "cmake --install" "$(files_below "$scratch")"

desktop=$scratch/usr/share/applications/$id.desktop
desktop-file-validate "$desktop" || fail "desktop entry not valid"
for line in "Name=Zuvex 910k Konfigurator" "Icon=$id" "Exec=zuvex-konfigurator" "Terminal=false" \
    "Categories=Utility;" "X-AppVersion=$version"; do
    grep -qxF "$line" "$desktop" || fail "desktop entry lacks $line"
done
grep -q '^Comment=.*Telefonanlage' "$desktop" || fail "desktop entry lacks the German comment"

metainfo=$scratch/usr/share/metainfo/$id.metainfo.xml
appstreamcli validate --no-net --pedantic "$metainfo" >"$scratch/appstream.log" ||
    fail "AppStream metadata not valid: $(cat "$scratch/appstream.log")"
grep -q "<release version=\"$version\"" "$metainfo" || fail "metainfo lacks release $version"
grep -q '<summary xml:lang="de">' "$metainfo" || fail "metainfo lacks the German summary"
grep -q '<screenshot type="default">' "$metainfo" || fail "metainfo lacks a screenshot"

for page in zuvex-konfigurator zuvex-sim zuvex910k; do
    man=$scratch/usr/share/man/man1/$page.1.gz
    warnings=$(zcat "$man" | groff -k -man -ww -z 2>&1)
    [ -z "$warnings" ] || fail "$page.1: $warnings"
    zcat "$man" | grep -q "^\.TH .* $version\"" || fail "$page.1 lacks version $version"
done

bash -n "$scratch/usr/share/bash-completion/completions/zuvex910k" || fail "bash completion not valid"

printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\software\\Orvell\\Zuvex 910k]\r\n' |
    cmp - "$scratch/etc/xdg/zuvex910k/registry.reg" || fail "system settings default differs"
echo "install tree of version $version: OK"
