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
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
