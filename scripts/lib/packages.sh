# Sourced by the scripts: install_missing PACKAGE... installs the Debian
# packages that are not installed yet, through sudo unless run as root.
install_missing() {
    local missing=() package sudo=""
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
    done
    ((${#missing[@]})) || return 0
    [[ $(id -u) -eq 0 ]] || sudo="sudo"
    echo "Installing: ${missing[*]}"
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
}

# install_missing_without_starting PACKAGE...: install_missing for packages
# that come with a system service, which must not start: a policy-rc.d that
# forbids it stands during the install (one already there is left alone).
install_missing_without_starting() {
    local policy=/usr/sbin/policy-rc.d placed="" status=0 sudo=""
    [[ $(id -u) -eq 0 ]] || sudo="sudo"
    if [[ ! -e $policy ]]; then
        printf '#!/bin/sh\nexit 101\n' | $sudo tee "$policy" >/dev/null
        $sudo chmod 755 "$policy"
        placed=1
    fi
    install_missing "$@" || status=$?
    [[ -z $placed ]] || $sudo rm -f "$policy"
    return $status
}
