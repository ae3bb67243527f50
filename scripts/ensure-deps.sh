#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, when missing.
set -euo pipefail
packages=(cmake ninja-build g++ clang pkg-config qt6-base-dev libudev-dev libgl-dev qt6-translations-l10n
          fonts-liberation2 xvfb xauth poppler-utils openbox xdotool x11-utils
          # the icon rendered from its SVG; the Debian package and its checks (hardening-check
          # comes with devscripts)
          librsvg2-bin dpkg-dev file desktop-file-utils appstream groff-base lintian devscripts
          # the accessibility tree as a screen reader reads it: a session bus, the AT-SPI bus
          dbus-daemon at-spi2-core python3-pyatspi
          # access lists set on files in the tests of saving (setfacl)
          acl)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
