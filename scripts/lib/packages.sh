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

# install_missing_quiet_service PACKAGE...: as install_missing, for packages
# that come with a system service of their own (prometheus): a policy-rc.d
# that exits 101 keeps the service from starting during the install and is
# removed afterwards.
install_missing_quiet_service() {
    local policy=/usr/sbin/policy-rc.d sudo=""
    [[ $(id -u) -eq 0 ]] || sudo="sudo"
    if [[ -e $policy ]]; then
        install_missing "$@"
        return
    fi
    printf '#!/bin/sh\nexit 101\n' | $sudo tee "$policy" >/dev/null
    $sudo chmod 755 "$policy"
    local status=0
    install_missing "$@" || status=$?
    $sudo rm -f "$policy"
    return $status
}
