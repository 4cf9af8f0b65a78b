#!/usr/bin/env bash
# Installs every Debian package the project needs. Safe to run more than once.
# With --farm-cluster it installs instead what CI's one-node Slurm cluster
# runs (scripts/farm-cluster.sh): the daemons and munge, which neither a build
# nor a preview needs; the tool itself needs only sbatch (slurm-client).
set -euo pipefail
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
if [ "${1:-}" = "--farm-cluster" ]; then
  $SUDO apt-get install -y -qq --no-install-recommends slurmctld slurmd slurm-client munge >/dev/null
  exit 0
fi
$SUDO apt-get install -y -qq --no-install-recommends \
  build-essential cmake pkg-config iproute2 \
  libopencolorio-dev opencolorio-tools \
  libavformat-dev libavcodec-dev libavfilter-dev libavutil-dev libswscale-dev \
  qtbase5-dev qtbase5-dev-tools libqt5opengl5-dev \
  libftgl-dev libfreetype-dev libpng-dev zlib1g-dev \
  libegl-dev libgl-dev libegl-mesa0 libgl1-mesa-dri libglx-mesa0 \
  libgtest-dev libgmock-dev libbenchmark-dev \
  fonts-liberation2 fonts-inconsolata fonttools clang-format ffmpeg imagemagick strace file \
  clang libclang-rt-14-dev llvm \
  >/dev/null
