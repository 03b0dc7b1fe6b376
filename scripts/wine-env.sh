# Sourced by the scripts that run Windows programs: a 32-bit Wine prefix of
# the project's own (created once, with Japanese font substitutes) and a
# running wineserver, so that each start costs milliseconds, not seconds.
# Needs DISPLAY (run inside xvfb-run).

: "${LUM_ROOT:=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}"
export WINEPREFIX="${WINEPREFIX:-$LUM_ROOT/build/wineprefix}"
export WINEARCH=win32
export WINEDEBUG="${WINEDEBUG:-err+all,fixme-all}"
export LANG="${LANG:-C.UTF-8}"

lum_wine_prefix() {
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        mkdir -p "$(dirname "$WINEPREFIX")"
        # No Mono or Gecko download prompts: this machine has no network for them.
        WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1 || true
        wineserver -w
        # "ＭＳ Ｐゴシック" and the dialog fonts drawn with the IPA fonts.
        local reg="$WINEPREFIX/lum-fonts.reg"
        {
            printf 'Windows Registry Editor Version 5.00\r\n\r\n'
            printf '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes]\r\n'
            printf '"ＭＳ Ｐゴシック"="IPAPGothic"\r\n'
            printf '"ＭＳ ゴシック"="IPAGothic"\r\n'
            printf '"MS PGothic"="IPAPGothic"\r\n'
            printf '"MS Gothic"="IPAGothic"\r\n'
            printf '"MS UI Gothic"="IPAPGothic"\r\n'
            printf '"MS Shell Dlg"="IPAPGothic"\r\n'
            printf '"MS Shell Dlg 2"="IPAPGothic"\r\n'
            printf '"Tahoma"="IPAPGothic"\r\n'
            printf '"Segoe UI"="IPAPGothic"\r\n'
            printf '\r\n'
        } | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } >"$reg"
        wine regedit /S "$(winepath -w "$reg" 2>/dev/null)" >/dev/null 2>&1 || true
        wineserver -w
    fi
}

lum_wine_start() {
    lum_wine_prefix
    wineserver -p >/dev/null 2>&1 || true
    wine cmd /c exit >/dev/null 2>&1 || true
}

lum_wine_stop() {
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
}
