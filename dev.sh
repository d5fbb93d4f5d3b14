#!/usr/bin/env bash
# Developer entry point: installs what a fresh Debian 12 machine lacks, builds, runs, tests.
set -euo pipefail
cd "$(dirname "$0")"
# Paths below the checkout are hashed relative to it, so checkouts share the ccache.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}"

PACKAGES=(build-essential cmake ninja-build pkg-config qt6-base-dev qt6-serialport-dev
  libgsf-1-dev libgtest-dev libgmock-dev libbenchmark-dev libgl-dev socat python3-olefile
  xvfb xauth imagemagick)

need_install() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}" >&2
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
  fi
}

configure() { # $1 build dir, rest: extra cmake args
  local dir=$1; shift
  local launcher=()
  # ccache, when present, lets several checkouts share their compiled objects.
  command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" \
    "${launcher[@]}" "$@" >/dev/null
}

build() {
  need_install
  configure build
  cmake --build build -j "$(nproc)"
}

cmd=${1:-}
case "$cmd" in
  build) build ;;
  test)
    build
    QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j "$(nproc)"
    ;;
  asan)
    need_install
    configure build-asan -DTESSIVA_SANITIZE=ON -DTESSIVA_BENCH=OFF -DTESSIVA_UI=OFF
    cmake --build build-asan -j "$(nproc)"
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
      QT_QPA_PLATFORM=offscreen ctest --test-dir build-asan --output-on-failure -j "$(nproc)" -L unit
    ;;
  bench)
    build
    for b in build/bin/bench-*; do echo "== $b"; "$b" "${@:2}"; done
    ;;
  run)
    build
    shift || true
    if [ -x build/bin/tessiva ]; then
      if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
        echo "No display found. Run it under a virtual display: xvfb-run -a ./dev.sh run" >&2
        echo "Meanwhile, the sample definitions as the command-line tool sees them:" >&2
        build/bin/tessiva-cli --dir examples defs | head -n 40
        exit 1
      fi
      cd examples && exec ../build/bin/tessiva "$@"
    else
      build/bin/tessiva-cli --dir examples defs
    fi
    ;;
  *)
    echo "usage: ./dev.sh run|test|build|bench|asan" >&2
    exit 2
    ;;
esac
