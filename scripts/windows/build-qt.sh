#!/usr/bin/env bash
# Builds Qt for 64-bit Windows once, from Debian's own Qt source, with the host tools of
# Debian's Qt of the same version, into the cache that qt-cache.sh names. Prints the prefix.
# Takes about 20 minutes on two cores the first time; later calls return at once.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/qt-cache.sh"
prefix=$(qt_windows_prefix)
if [ -f "$prefix/.complete" ]; then
    echo "$prefix"
    exit 0
fi

# Debian's source of the Qt the host runs: same version, so the host's moc and rcc fit.
host_version=$(dpkg-query -W -f='${Version}' qt6-base-dev)
case "$host_version" in
    "$qt_windows_version"*) ;;
    *) echo "Debian's Qt is $host_version, Qt for Windows is built as $qt_windows_version" >&2; exit 1 ;;
esac
work=$(qt_windows_cache_root)/src-$qt_windows_version
if [ ! -f "$work/.unpacked" ]; then
    rm -rf "$work"
    mkdir -p "$work"
    (cd "$work" && apt-get source -qq "qt6-base=$host_version" >/dev/null)
    touch "$work/.unpacked"
fi
source_dir=$(find "$work" -maxdepth 1 -type d -name 'qt6-base-*' | head -n 1)

build_dir=$work/build
rm -rf "$build_dir" "$prefix"
mkdir -p "$build_dir"
cd "$build_dir"
# No OpenGL, D-Bus, SQL or network: the program uses none. Debian's source lacks the tablet
# header, hence no tablet events. The third-party libraries come from Qt's own copies.
"$source_dir/configure" -prefix "$prefix" -xplatform win32-g++ -qt-host-path /usr -release \
    -no-opengl -no-dbus -no-feature-sql -no-feature-network -no-feature-concurrent \
    -no-feature-tabletevent -nomake examples -nomake tests \
    -qt-zlib -qt-pcre -qt-libpng -qt-libjpeg -qt-freetype -qt-harfbuzz -- -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$here/mingw-w64.cmake" -DQT_HOST_PATH=/usr \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake >"$build_dir/configure.log" 2>&1 ||
    { tail -n 40 "$build_dir/configure.log" >&2; exit 1; }
cmake --build . --parallel "$(nproc)" >"$build_dir/build.log" 2>&1 ||
    { tail -n 40 "$build_dir/build.log" >&2; exit 1; }
cmake --install . >/dev/null
touch "$prefix/.complete"
rm -rf "$build_dir"
echo "$prefix"
