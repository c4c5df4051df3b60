#!/usr/bin/env bash
# Installs the Debian packages the project needs, only those that are missing.
set -euo pipefail

packages=(
    cmake g++ make pkg-config ccache
    qt6-base-dev qt6-translations-l10n libgl-dev
    qt6-charts-dev libqt6opengl6-dev
    libsqlcipher-dev sqlcipher
    libxlsxwriter-dev
    mdbtools-dev
    libx11-dev
    python3 python3-openpyxl python3-aiosmtpd
    libcurl4-openssl-dev
    poppler-utils
    fonts-liberation2
    locales
    clang libclang-rt-14-dev clang-format
    dpkg-dev librsvg2-bin desktop-file-utils appstream
    liborcus-dev libixion-dev libboost-dev libfreexl-dev libminizip-dev libreoffice-calc-nogui
    postgresql-15 libpq-dev openssl
    qtkeychain-qt6-dev libsecret-1-0 libssl-dev gnome-keyring dbus libsecret-tools
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installo: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    sudo_cmd=""
    if [ "$(id -u)" -ne 0 ]; then sudo_cmd="sudo"; fi
    $sudo_cmd apt-get update -qq
    $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The locales the tests run under (and switch to): the users' Italian, two more with a decimal
# comma and one with a full stop. A locale named in LANG but not generated makes the C library
# fall back to "C" without a word.
for loc in it_IT de_DE fr_FR en_US; do
    if ! locale -a 2>/dev/null | grep -qx "${loc}.utf8"; then
        echo "Genero il locale ${loc}.UTF-8"
        sudo_cmd=""
        if [ "$(id -u)" -ne 0 ]; then sudo_cmd="sudo"; fi
        $sudo_cmd localedef -i "$loc" -f UTF-8 "${loc}.UTF-8"
    fi
done

# The synchronisation tests start a PostgreSQL server of their own, which refuses to run as root:
# under root it runs as this unprivileged user.
if [ "$(id -u)" -eq 0 ] && ! getent passwd gestione-test >/dev/null; then
    useradd --system --no-create-home --shell /usr/sbin/nologin gestione-test
fi
