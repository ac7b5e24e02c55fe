# Sourced by the scripts that run Windows programs under Wine. wine_env PREFIX
# QTBIN sets up (once) and exports a 64-bit Wine prefix in PREFIX in which the
# programs of the Windows build find the Qt DLLs of QTBIN, a Latin UI font
# (Tahoma) and a Chinese one.
wine_env() {
    local prefix=$1 qtbin=$2
    export WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=-all
    # No Mono or Gecko installer prompts.
    export WINEDLLOVERRIDES="mscoree,mshtml="
    if [[ ! -f "$prefix/system.reg" ]]; then
        mkdir -p "$prefix"
        wineboot --init >/dev/null 2>&1
        wineserver --wait
        # Under X the default UI font Tahoma is otherwise missing and Latin
        # text draws as symbols; the Chinese captions ask for SimSun.
        cp /usr/share/wine/fonts/tahoma*.ttf "$prefix/drive_c/windows/Fonts/"
        wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v SimSun /t REG_SZ /d 'WenQuanYi Micro Hei' /f \
            >/dev/null 2>&1
        wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'Microsoft YaHei' /t REG_SZ \
            /d 'WenQuanYi Micro Hei' /f >/dev/null 2>&1
        wineserver --wait
    fi
    WINEPATH=$(winepath -w "$qtbin")
    export WINEPATH
    # Qt's variables reach a Windows program only as WINEQT_*; test output
    # goes to stderr instead of the debug channel Wine hides; the offscreen
    # platform needs a font folder.
    export WINEQT_FORCE_STDERR_LOGGING=1
    export WINEQT_QPA_FONTDIR=Z:/usr/share/fonts/truetype/wqy
}
