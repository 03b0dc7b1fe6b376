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
    # No sound driver: a machine without a sound card only fills the logs
    # with ALSA's complaints whenever a program looks for its devices.
    wine reg add 'HKCU\Software\Wine\Drivers' /v Audio /d '' /f >/dev/null 2>&1 || true
    lum_standin_repair
}

lum_wine_stop() {
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
}

# The stand-in WebBrowser control of the tests (LumenaryStandin.dll), for the
# WebBrowser class while an end-to-end script runs. Windows reads a per-user
# class (HKEY_CURRENT_USER\Software\Classes) before the machine's; Wine's COM
# reads only the machine's (HKEY_LOCAL_MACHINE\Software\Classes is its
# HKEY_CLASSES_ROOT), so the class's server path there names the stand-in too
# until lum_standin_unregister puts Wine's own control back.
LUM_WEBBROWSER_CLASS='Software\Classes\CLSID\{8856F961-340A-11D0-A96B-00C04FD705A2}'
LUM_WEBBROWSER_SERVER='C:\windows\system32\ieframe.dll'  # what wineboot registers

lum_standin_register() {  # <path of LumenaryStandin.dll>
    local dll
    dll="Z:$(realpath "$1" | tr / '\\')"
    wine reg add "HKCU\\$LUM_WEBBROWSER_CLASS\\InprocServer32" /ve /d "$dll" /f >/dev/null 2>&1 &&
        wine reg add "HKCU\\$LUM_WEBBROWSER_CLASS\\InprocServer32" /v ThreadingModel \
            /d Apartment /f >/dev/null 2>&1 &&
        wine reg add "HKLM\\$LUM_WEBBROWSER_CLASS\\InprocServer32" /ve /d "$dll" /f \
            >/dev/null 2>&1
}

lum_standin_unregister() {
    wine reg delete "HKCU\\$LUM_WEBBROWSER_CLASS" /f >/dev/null 2>&1
    wine reg add "HKLM\\$LUM_WEBBROWSER_CLASS\\InprocServer32" /ve /d "$LUM_WEBBROWSER_SERVER" \
        /f >/dev/null 2>&1
}

# A run that was killed before it could unregister leaves the stand-in in
# place: the next start of the prefix puts Wine's own control back.
lum_standin_repair() {
    wine reg query "HKLM\\$LUM_WEBBROWSER_CLASS\\InprocServer32" /ve 2>/dev/null |
        grep -qi 'LumenaryStandin' && lum_standin_unregister
    return 0
}
