#!/usr/bin/env bash
# Installs the Debian packages the editor needs to build, test and run.
# As root it installs what is missing; otherwise it prints the apt-get line.
# EXTRA_PACKAGES adds packages that only some commands need.
set -euo pipefail

packages=(g++ cmake ninja-build qt6-base-dev qt6-svg-dev fonts-liberation libbenchmark-dev
    dpkg-dev file desktop-file-utils appstream shared-mime-info patch git ${EXTRA_PACKAGES:-})

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages. Install them with:" >&2
    echo "  sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
    exit 1
fi
echo "Installing: ${missing[*]}"
apt-get update -qq
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
