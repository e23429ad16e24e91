# shellcheck shell=bash
# Sourced by every script that needs Debian packages: install_packages PACKAGE... installs
# those not installed yet (through sudo when not root) and does nothing when all are there.
# apt's own output goes to stderr, so that a script's results keep stdout to themselves.
install_packages() {
    local missing=() package sudo=""
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
    done
    ((${#missing[@]})) || return 0
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    echo "Installing: ${missing[*]}" >&2
    $sudo apt-get update -q >&2
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}" >&2
}
