# Where Qt for Windows is kept once built: outside the clone, so that it survives `git clean`
# and fresh clones on the same machine, in a folder named after the Qt version and a hash of
# the script that builds it (a change of its flags builds a new one). Sourced by the scripts.
qt_windows_version=6.4.2
qt_windows_cache_root() {
    if [ -n "${ZUVEX_CACHE_DIR:-}" ]; then
        echo "$ZUVEX_CACHE_DIR"
    elif [ "$(id -u)" -eq 0 ]; then
        echo /var/cache/zuvex910k
    else
        echo "${XDG_CACHE_HOME:-$HOME/.cache}/zuvex910k"
    fi
}
qt_windows_prefix() {
    local here key
    here=$(dirname "${BASH_SOURCE[0]}")
    key=$(cat "$here/build-qt.sh" "$here/mingw-w64.cmake" | sha256sum | cut -c1-12)
    echo "$(qt_windows_cache_root)/qt-$qt_windows_version-mingw64-$key"
}
