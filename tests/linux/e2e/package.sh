#!/usr/bin/env bash
# The Debian package of the Linux program: builds it (the deb target), checks
# its fields and contents with dpkg-deb and its policy with lintian (errors and
# warnings fail, informational tags are shown), installs it with apt-get, runs
# the installed program and removes it again. The system's packages are left
# as they were found, also when a check fails; a lumenary package left
# installed by an earlier run that was cut short is removed first.
# Needs root (or sudo without a password): it is a step of its own in
# scripts/test.sh, labelled "package" for ctest.
set -uo pipefail
source "$(dirname "$0")/lib.bash"

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    if ! sudo -n true 2>/dev/null; then
        echo "skipped: installing a package needs root or sudo without a password"
        exit 0
    fi
    SUDO=sudo
fi
APT=(env DEBIAN_FRONTEND=noninteractive apt-get -y -q -o DPkg::Lock::Timeout=300)
[ -n "$SUDO" ] && APT=(sudo -n "${APT[@]}")
INSTALLED_PATH=/usr/libexec/xscreensaver/lumenary
ON_PATH=/usr/bin/lumenary

# Every installed package with its version, one a line.
installed_packages() {
    dpkg-query -W -f='${db:Status-Abbrev} ${Package}:${Architecture} ${Version}\n' |
        awk '$1 ~ /^[hi]i/ { print $2, $3 }' | sort
}
lumenary_installed() {
    dpkg-query -W -f='${db:Status-Abbrev}' lumenary 2>/dev/null | grep -q '^.i'
}

# Puts the system's packages back as they were before the install: the
# package removed, and whatever the install pulled in with it.
BEFORE=$WORK/packages.before
restore() {
    [ -f "$BEFORE" ] || return 0
    if lumenary_installed; then
        "${APT[@]}" remove lumenary >>"$WORK/apt.log" 2>&1 || echo "could not remove lumenary"
    fi
    local added
    # By name: a package that was there before stays, whatever its version.
    added=$(installed_packages | awk '{ print $1 }' |
        comm -13 <(awk '{ print $1 }' "$BEFORE") - | grep -v '^lumenary:')
    if [ -n "$added" ]; then
        echo "removing what the install pulled in: $(tr '\n' ' ' <<<"$added")"
        # shellcheck disable=SC2086
        "${APT[@]}" purge $added >>"$WORK/apt.log" 2>&1 || echo "could not remove: $added"
    fi
    rm -f "$BEFORE"
}
trap 'restore; cleanup' EXIT

# --- build ---
rm -f "$BUILD"/lumenary_*.deb
cmake --build "$BUILD" -j2 --target deb >"$WORK/build.log" 2>&1 ||
    { tail -40 "$WORK/build.log"; fail "the deb target"; }
VERSION=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$BUILD/CPackConfig.cmake")
ARCH=$(dpkg --print-architecture)
DEB=$BUILD/lumenary_${VERSION}_${ARCH}.deb
{ [ -n "$VERSION" ] && [ -f "$DEB" ]; } || fail "no $DEB after the deb target: $(ls "$BUILD"/*.deb 2>&1)"
echo "built $(basename "$DEB") ($(stat -c %s "$DEB") bytes)"

# --- fields ---
field() { dpkg-deb -f "$DEB" "$1"; }
check "Package is lumenary" test "$(field Package)" = lumenary
check "Version is the project's ($VERSION)" test "$(field Version)" = "$VERSION"
check "Architecture is $ARCH" test "$(field Architecture)" = "$ARCH"
check "Maintainer names someone" grep -q '<.*@.*>' <<<"$(field Maintainer)"
check "Section and Priority are set" test "$(field Section)/$(field Priority)" = x11/optional
check "Description has a summary and an extended text" \
    test "$(field Description | wc -l)" -gt 3
depends=$(field Depends)
echo "Depends: $depends"
for dep in libgtk-3-0 libwebkit2gtk-4.1-0 libsecret-1-0 bubblewrap xdg-dbus-proxy xvfb libc6; do
    check "Depends names $dep" grep -Eq "(^|, )$dep( |,|$)" <<<"$depends"
done
check "Suggests xscreensaver" grep -Eq '(^|, )xscreensaver( |,|$)' <<<"$(field Suggests)"

# --- contents ---
dpkg-deb -c "$DEB" | awk '{ print $1, $6 }' | sed 's| \./| /|' >"$WORK/contents"
mode_of() { awk -v p="$1" '$2 == p { print $1 }' "$WORK/contents"; }
for f in /usr/libexec/xscreensaver/lumenary /usr/libexec/xscreensaver/lumenary-capture \
    /usr/libexec/xscreensaver/lumenary-sign-in; do
    check "$f is in the package, executable" test "$(mode_of "$f")" = -rwxr-xr-x
done
for f in /usr/share/xscreensaver/config/lumenary.xml /usr/share/applications/lumenary.desktop \
    /usr/share/icons/hicolor/scalable/apps/lumenary.svg \
    /usr/share/icons/hicolor/48x48/apps/lumenary.png /usr/share/man/man1/lumenary.1.gz \
    /usr/share/doc/lumenary/copyright /usr/share/doc/lumenary/changelog.gz; do
    check "$f is in the package" test "$(mode_of "$f")" = -rw-r--r--
done
check "$ON_PATH is in the package, a symbolic link" test "$(mode_of "$ON_PATH")" = lrwxrwxrwx
check "nothing lies outside /usr" \
    test -z "$(awk '$2 !~ /^\/usr(\/|$)/ && $2 != "/"' "$WORK/contents")"
check "no folder is writable by others than root" \
    test -z "$(awk '$1 ~ /^d/ && $1 != "drwxr-xr-x"' "$WORK/contents")"
X=$WORK/extracted
dpkg-deb -x "$DEB" "$X"
for f in lumenary lumenary-capture lumenary-sign-in; do
    check "$f is stripped" bash -c "file '$X/usr/libexec/xscreensaver/$f' | grep -q ', stripped'"
done
check "$ON_PATH links to the program by a relative path" \
    test "$(readlink "$X$ON_PATH")" = ../libexec/xscreensaver/lumenary
check "the desktop entry opens the installed program's settings dialog" \
    grep -qx "Exec=$INSTALLED_PATH --config" "$X/usr/share/applications/lumenary.desktop"
copyright=$X/usr/share/doc/lumenary/copyright
check "copyright is in the machine-readable format" \
    grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' "$copyright"
check "copyright carries LICENSE's holder and terms" bash -c "
    grep -qx 'Copyright: $(sed -n 's/^Copyright (c) //p' "$SRC/LICENSE")' '$copyright' &&
    grep -q '^ THE SOFTWARE IS PROVIDED \"AS IS\"' '$copyright'"
man_source=$WORK/lumenary.1
check "the manual page is gzipped" bash -c "gzip -dc '$X/usr/share/man/man1/lumenary.1.gz' >'$man_source'"
# Every option the program's usage names is in the manual page.
options=$("$LUMENARY" --help | grep -oE '(^| )--?[a-z][a-z-]*' | tr -d ' ' | sort -u)
check "the usage names options ($(tr '\n' ' ' <<<"$options"))" test -n "$options"
for option in $options; do
    check "the manual page describes $option" \
        grep -q -- "$(sed 's/-/\\\\-/g' <<<"$option")\\b" "$man_source"
done
if command -v man >/dev/null; then
    LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$man_source" \
        >/dev/null 2>"$WORK/man.warnings"
    check "the manual page renders without warnings" test ! -s "$WORK/man.warnings"
    cat "$WORK/man.warnings"
fi

# --- lintian ---
if command -v lintian >/dev/null; then
    lintian --display-info --pedantic --fail-on error,warning "$DEB" >"$WORK/lintian" 2>&1
    code=$?
    grep -v 'running with root privileges' "$WORK/lintian" | sed 's/^/  lintian: /'
    check "lintian finds no error or warning" test "$code" -eq 0
else
    echo "lintian is not installed: policy not checked"
fi

# --- install, run, remove ---
if lumenary_installed; then
    echo "a lumenary package is installed already" \
        "($(dpkg-query -W -f='${Version}' lumenary)), from an earlier run: removing it"
    "${APT[@]}" remove lumenary >>"$WORK/apt.log" 2>&1 ||
        { tail -20 "$WORK/apt.log"; fail "apt-get remove of the package found installed"; }
fi
installed_packages >"$BEFORE"
cp "$BEFORE" "$WORK/packages.start"
(cd "$BUILD" && "${APT[@]}" install "./$(basename "$DEB")") >>"$WORK/apt.log" 2>&1
code=$?
[ "$code" -eq 0 ] || tail -20 "$WORK/apt.log"
check "apt-get install ./$(basename "$DEB")" test "$code" -eq 0
check "dpkg knows lumenary $VERSION as installed" \
    test "$(dpkg-query -W -f='${db:Status-Abbrev}${Version}' lumenary 2>/dev/null)" = "ii $VERSION"
check "the installed program is $INSTALLED_PATH" test -x "$INSTALLED_PATH"
"$INSTALLED_PATH" --help >"$WORK/help" 2>&1
code=$?
check "the installed program answers --help (exit $code)" \
    bash -c "[ $code = 0 ] && grep -q -- '--window-id' '$WORK/help'"
check "$ON_PATH leads to the installed program" test "$(readlink -f "$ON_PATH")" = "$INSTALLED_PATH"
# As the README's commands run it: by name, from the PATH.
(cd "$WORK" && env PATH=/usr/local/bin:/usr/bin:/bin bash -c 'command -v lumenary && lumenary --help') \
    >"$WORK/help.path" 2>&1
code=$?
check "lumenary on the PATH is $ON_PATH and answers --help (exit $code)" \
    bash -c "[ $code = 0 ] && [ \"\$(head -1 '$WORK/help.path')\" = '$ON_PATH' ] &&
             grep -q -- '--window-id' '$WORK/help.path'"
if command -v man >/dev/null; then
    check "man finds lumenary(1)" test "$(man -w lumenary 2>/dev/null)" = /usr/share/man/man1/lumenary.1.gz
fi

"${APT[@]}" remove lumenary >>"$WORK/apt.log" 2>&1
code=$?
check "apt-get remove lumenary" test "$code" -eq 0
check "the package is gone" bash -c "! dpkg-query -W -f='\${db:Status-Abbrev}' lumenary 2>/dev/null |
    grep -q '^[^un]'"
check "its files are gone" test ! -e "$INSTALLED_PATH" -a ! -e /usr/share/man/man1/lumenary.1.gz
check "$ON_PATH is gone" test ! -L "$ON_PATH"
restore
check "the system's packages are as they were" \
    test -z "$(installed_packages | comm -3 "$WORK/packages.start" -)"
finish
