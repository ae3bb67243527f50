# Shared by the package tests: failing with a message, the expected file list, a scratch folder.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
id=de.zuvex.konfigurator910k
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
# the sorted list of files below a root, as installed-files.txt lists them
files_below() { (cd "$1" && find . -type f | sed 's|^\./||' | LC_ALL=C sort); }
expect_files() { # label actual-list
    diff -u <(LC_ALL=C sort "$here/installed-files.txt") <(printf '%s\n' "$2") ||
        fail "$1: files differ from installed-files.txt"
}
# A compressed man page as man shows it, `width` columns wide, as plain text with ASCII hyphens.
render_man() { # page width
    zcat "$1" | groff -man -Tutf8 -rLL="$2"n -P-cbou 2>/dev/null | sed 's/‐/-/g; s/−/-/g'
}
# The words that a page rendered `width` wide breaks at a line's end (joined again): a word
# hyphenated, or a name, path or option broken at its hyphen. An ordinary compound that keeps
# its hyphen whole ("Pseudo-Terminal") may break there.
words_broken_at_line_ends() { # page width
    awk 'FNR == NR { for (i = 1; i <= NF; i++) whole[$i] = 1; next }
         held != "" { joined = held $1; held = ""
                      if (!(joined in whole) || joined ~ /\/|zuvex|^-/) print joined }
         /[[:alnum:]]-$/ { held = $NF }' <(render_man "$1" 1000) <(render_man "$1" "$2")
}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
