# Sourced by the scripts that run Windows programs under Wine. wine_env PREFIX
# QTBIN sets up (once) and exports a 64-bit Wine prefix in PREFIX in which the
# programs of the Windows build find the Qt DLLs of QTBIN, a Latin UI font
# (Tahoma) and a Chinese one. COM16 is the device that the symbolic link
# $com16_link points to (ln -sfn /dev/pts/N "$com16_link"); COM1 to COM15 do
# not exist.
wine_env() {
    local prefix=$1 qtbin=$2
    export WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=-all
    # No Mono or Gecko installer prompts.
    export WINEDLLOVERRIDES="mscoree,mshtml="
    if [[ ! -f "$prefix/varo-prefix-ready" ]]; then
        rm -rf "$prefix"
        mkdir -p "$prefix"
        wineboot --init >/dev/null 2>&1
        wineserver --wait
        # Under X the default UI font Tahoma is otherwise missing and Latin
        # text draws as symbols; the Chinese captions ask for SimSun.
        cp /usr/share/wine/fonts/tahoma*.ttf "$prefix/drive_c/windows/Fonts/"
        # Wine maps COM1.. to the machine's /dev/ttyS* (the next free number
        # each time it starts), and opening a UART that way blocks until a
        # byte arrives: only COM16 is left, fixed to a link of our own.
        {
            printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
            printf '"SimSun"="WenQuanYi Micro Hei"\r\n"Microsoft YaHei"="WenQuanYi Micro Hei"\r\n\r\n'
            printf '[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\r\n'
            for port in $(seq 15); do printf '"COM%d"=""\r\n' "$port"; done
            printf '"COM16"="%s"\r\n' "$prefix/com16-line"
        } >"$prefix/varo.reg"
        wine regedit /S "$(winepath -w "$prefix/varo.reg")" >/dev/null 2>&1
        wineserver --wait
        rm -f "$prefix"/dosdevices/com[0-9]*
        touch "$prefix/varo-prefix-ready"
    fi
    com16_link=$prefix/com16-line
    # The server outlives the programs: keep its messages off the caller's
    # output (one still running from an earlier script says so and stays).
    wineserver >/dev/null 2>&1 || true
    WINEPATH=$(winepath -w "$qtbin")
    export WINEPATH
    # Qt's variables reach a Windows program only as WINEQT_*; test output
    # goes to stderr instead of the debug channel Wine hides; the offscreen
    # platform needs a font folder.
    export WINEQT_FORCE_STDERR_LOGGING=1
    export WINEQT_QPA_FONTDIR=Z:/usr/share/fonts/truetype/wqy
}
