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
# English defaults with German translations, and the start announced to the desktop
for line in "Name=Zuvex 910k Configurator" "Name[de]=Zuvex 910k Konfigurator" \
    "GenericName=Telephone System Setup" "GenericName[de]=Telefonanlage einrichten" \
    "Icon=$id" "Exec=zuvex-konfigurator" "Terminal=false" "StartupNotify=true" \
    "Categories=Utility;" "X-AppVersion=$version"; do
    grep -qxF "$line" "$desktop" || fail "desktop entry lacks $line"
done
grep -q '^Comment=.*telephone system' "$desktop" || fail "desktop entry lacks the English comment"
grep -q '^Comment\[de\]=.*Telefonanlage' "$desktop" || fail "desktop entry lacks the German comment"
grep -q '^Keywords=.*telephone system;.*serial;' "$desktop" || fail "desktop entry lacks keywords"
grep -q '^Keywords\[de\]=Telefonanlage;TK-Anlage;Konfiguration;seriell;' "$desktop" ||
    fail "desktop entry lacks the German keywords"

metainfo=$scratch/usr/share/metainfo/$id.metainfo.xml
appstreamcli validate --no-net --pedantic "$metainfo" >"$scratch/appstream.log" ||
    fail "AppStream metadata not valid: $(cat "$scratch/appstream.log")"
grep -q "<release version=\"$version\"" "$metainfo" || fail "metainfo lacks release $version"
grep -q '<summary xml:lang="de">' "$metainfo" || fail "metainfo lacks the German summary"
grep -q '<screenshot type="default">' "$metainfo" || fail "metainfo lacks a screenshot"

# Man pages: English in man1, German in de/man1; no warnings, the version, and no word broken
# at a line's end by hyphenation, nor a name, path or option broken at its hyphen.
for page in zuvex-konfigurator zuvex910k zuvex-sim; do
    for section in man1:DESCRIPTION de/man1:BESCHREIBUNG; do
        man=$scratch/usr/share/man/${section%%:*}/$page.1.gz
        zcat "$man" | grep -qx "\.SH ${section#*:}" || fail "$man is in the wrong language"
        warnings=$(zcat "$man" | groff -k -man -ww -z 2>&1)
        [ -z "$warnings" ] || fail "$man: $warnings"
        zcat "$man" | grep -q "^\.TH .* $version\"" || fail "$man lacks version $version"
        for width in $(seq 50 80); do
            broken=$(words_broken_at_line_ends "$man" "$width")
            [ -z "$broken" ] || fail "$man at $width columns breaks: $broken"
        done
    done
done
# The English page numbers the ports in the README's words.
page_text=$(render_man "$scratch/usr/share/man/man1/zuvex-konfigurator.1.gz" 1000 | tr -s ' \n' '  ')
readme_text=$(tr -d '`' <"$here/../../README.md" | tr -s ' \n' '  ')
for words in "the built-in serial ports /dev/ttyS* that have a UART behind them, by number" \
    "first those with a stable name under /dev/serial/by-id/, in the order of that name, then the others by their kernel name" \
    "in that order, up to COM20" \
    "is exactly the entry named COMn in it: a symbolic link to a device, or the device itself"; do
    [[ "$readme_text" == *"$words"* ]] || fail "README lacks: $words"
    [[ "$page_text" == *"$words"* ]] || fail "zuvex-konfigurator(1) lacks: $words"
done

bash -n "$scratch/usr/share/bash-completion/completions/zuvex910k" || fail "bash completion not valid"

printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\software\\Orvell\\Zuvex 910k]\r\n' |
    cmp - "$scratch/etc/xdg/zuvex910k/registry.reg" || fail "system settings default differs"
echo "install tree of version $version: OK"
