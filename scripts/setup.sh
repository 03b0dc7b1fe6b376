#!/usr/bin/env bash
# Installs what building and testing Lumenary needs on a fresh Debian 12
# machine, skipping what is already there: GTK 3 and WebKitGTK for the Linux
# program, XScreenSaver to run it in, the MinGW-w64 cross compiler, 32-bit
# Wine, Xvfb, Japanese fonts, the tools the end-to-end tests use, Chromium for
# the benchmarks, clang's runtime for the fuzzers, the sandbox of WebKit's
# page processes (bubblewrap, xdg-dbus-proxy; openssl makes the tests'
# certificate; Xvfb is also the capture program's display of its own), a session bus and the GNOME keyring with its command-line
# client (the remembered-password test), and the tools that build and check
# the Debian package.
set -euo pipefail

packages=(g++-mingw-w64-i686-posix wine wine32:i386 xvfb xauth fonts-ipafont-gothic locales
          xdotool imagemagick x11-apps x11-utils x11-xserver-utils
          xserver-xorg-core xserver-xorg-video-dummy libclang-rt-14-dev clang cmake g++ libgtest-dev
          libgmock-dev libbenchmark-dev googletest
          pkg-config libgtk-3-dev libwebkit2gtk-4.1-dev xscreensaver xscreensaver-data chromium
          python3 bubblewrap xdg-dbus-proxy openssl dbus-daemon dbus-session-bus-common
          gnome-keyring libsecret-tools libsecret-1-dev dpkg-dev file lintian man-db)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
echo "Installing: ${missing[*]}"
$SUDO dpkg --add-architecture i386
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" \
    >/tmp/lumenary-apt.log 2>&1 || { tail -20 /tmp/lumenary-apt.log; exit 1; }
