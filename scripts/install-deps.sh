#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing need.
set -euo pipefail
if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps.sh: run as root (apt-get needs it)" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends \
    build-essential cmake pkg-config git \
    clang-14 libclang-rt-14-dev clang-format-14 \
    libgtest-dev libgmock-dev libbenchmark-dev \
    liblog4cpp5-dev libcli11-dev nlohmann-json3-dev \
    libatasmart-dev libcpp-httplib-dev libpugixml-dev libssl-dev libcrypt-dev openssl \
    sblim-wbemcli >/dev/null
