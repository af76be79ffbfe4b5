#!/usr/bin/env bash
# Installs those of the Debian packages named as arguments that this machine
# lacks. Runs `apt-get update` only when something is missing.
set -euo pipefail

missing=()
for package in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q '^install ok installed$'; then
        missing+=("$package")
    fi
done
((${#missing[@]} > 0)) || exit 0

echo "installing: ${missing[*]}"
sudo_cmd=()
if ((EUID != 0)); then
    sudo_cmd=(sudo)
fi
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
