#!/usr/bin/env bash
# Installs what the Windows build and its tests under Wine need, when missing: the mingw-w64
# cross compiler, Wine, and the source lists from which Debian's Qt source is fetched.
set -euo pipefail
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

packages=(g++-mingw-w64-x86-64-posix wine64 xvfb xauth dpkg-dev)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done

# Debian's Qt source comes from the same archive as its binary packages.
src_list=/etc/apt/sources.list.d/zuvex-deb-src.sources
need_update=
if ! grep -rqs '^Types:.*deb-src\|^deb-src ' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
        sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
            "${sudo_cmd[@]}" tee "$src_list" >/dev/null
    else
        grep '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' |
            "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/zuvex-deb-src.list >/dev/null
    fi
    need_update=1
fi
if [ ${#missing[@]} -gt 0 ] || [ -n "$need_update" ]; then
    "${sudo_cmd[@]}" apt-get update -qq
fi
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
