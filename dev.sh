#!/usr/bin/env bash
# Developer entry point: installs what a fresh Debian 12 machine lacks, builds, runs, tests.
set -euo pipefail
cd "$(dirname "$0")"
# Paths below the checkout are hashed relative to it, so checkouts share the ccache.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}"

PACKAGES=(build-essential cmake ninja-build pkg-config qt6-base-dev qt6-serialport-dev
  libgsf-1-dev libgtest-dev libgmock-dev libbenchmark-dev libgl-dev socat python3-olefile
  xvfb xauth imagemagick qt6-l10n-tools shared-mime-info desktop-file-utils)

# The Windows cross-check: MinGW-w64, Wine, and GoogleTest's sources to build with MinGW.
WIN_PACKAGES=(g++-mingw-w64-x86-64-posix wine googletest)

need_install() { # packages to have, default: PACKAGES
  local missing=()
  (($#)) || set -- "${PACKAGES[@]}"
  for p in "$@"; do
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

# clang and libFuzzer come from Debian; only `fuzz` needs them.
FUZZ_PACKAGES=(clang-14 libclang-rt-14-dev)

need_fuzz_install() {
  PACKAGES+=("${FUZZ_PACKAGES[@]}")
  need_install
}

# Example files that seed a fuzz target besides its committed corpus fuzz/corpus/<target>/.
fuzz_seeds() {
  case $1 in
    definitions) echo examples/NVItemsDefine.def ;;
    type_import) echo examples/NVTypesDefine.def ;;
    type_catalog) echo examples/NVTypes.typ ;;
    brt) echo examples/sample.brt ;;
    cnv) echo examples/sample.cnv ;;
    qcn) echo examples/sample.qcn ;;
    numbered) echo examples/sample-numbered.qcn ;;
    xqcn) echo examples/sample-numbered.xqcn ;;
  esac
}

# Builds the fuzz targets with clang (ASan, UBSan) and runs each for $1 seconds (default 60).
# New inputs collect in build-fuzz/corpus/<target>/; a finding is left in build-fuzz/artifacts/.
fuzz() {
  local seconds=${1:-60}
  need_fuzz_install
  local cxx
  cxx=$(command -v clang++-14 || command -v clang++)
  configure build-fuzz -DTESSIVA_FUZZ=ON -DCMAKE_CXX_COMPILER="$cxx"
  cmake --build build-fuzz -j "$(nproc)"
  mkdir -p build-fuzz/artifacts
  local failed=0 rows=()
  for bin in build-fuzz/bin/fuzz_*; do
    local name=${bin##*/fuzz_}
    local work=build-fuzz/corpus/$name seeds=build-fuzz/seeds/$name log=build-fuzz/$name.log
    mkdir -p "$work" "$seeds" "fuzz/corpus/$name"
    for f in $(fuzz_seeds "$name"); do cp "$f" "$seeds/"; done
    local status=ok
    ASAN_OPTIONS=detect_leaks=1:fast_unwind_on_malloc=0 LSAN_OPTIONS="suppressions=$PWD/lsan.supp:print_suppressions=0" \
      UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
      "$bin" -max_total_time="$seconds" -print_final_stats=1 -rss_limit_mb=1024 -timeout=10 \
      -artifact_prefix="build-fuzz/artifacts/$name-" "$work" "fuzz/corpus/$name" "$seeds" >"$log" 2>&1 ||
      { status=FAILED; failed=1; }
    local execs cov
    execs=$(awk '/stat::number_of_executed_units/ {print $2}' "$log")
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 | cut -d' ' -f2)
    rows+=("$(printf '%-14s %12s %8s  %s' "$name" "${execs:-?}" "${cov:-?}" "$status")")
    [ "$status" = ok ] || { echo "== fuzz_$name found something; its log:" >&2; tail -n 40 "$log" >&2; }
  done
  printf '%-14s %12s %8s  %s\n' target executions coverage result
  printf '%s\n' "${rows[@]}"
  return "$failed"
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

# Cross-builds the phone link for Windows and runs its tests under Wine against simulated
# phones mapped as COM33 (answering) and COM34 (silent after its first answer).
wincheck() (
  local started=$SECONDS
  need_install
  need_install "${WIN_PACKAGES[@]}"
  configure build
  cmake --build build -j "$(nproc)" --target tessiva-phone-sim
  local cross=build-wincheck launcher=()
  command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  cmake -S tests/wincheck -B "$cross" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/tests/wincheck/mingw-w64.cmake" "${launcher[@]}" >/dev/null
  cmake --build "$cross" -j "$(nproc)" --target test_phone_win

  export WINEPREFIX="$PWD/$cross/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  local work pids=()
  work=$(mktemp -d)
  trap 'kill "${pids[@]}" 2>/dev/null; wineserver -k 2>/dev/null; wait; rm -rf "$work"' EXIT
  [ -d "$WINEPREFIX/dosdevices" ] || wineboot -i >/dev/null 2>&1
  # Wine opens COMn through the link dosdevices/comn, here to the simulator's pseudo-terminal.
  for port in com33 com34; do
    local extra=()
    [ "$port" = com34 ] && extra=(--silent-after 1)
    build/bin/tessiva-phone-sim --dir "$work" --from tests/data/link_phone.txt --spc 123456 --spc-penalty 0 \
      --link "$WINEPREFIX/dosdevices/$port" "${extra[@]}" >"$work/$port.out" &
    pids+=($!)
  done
  for _ in $(seq 50); do
    [ -s "$work/com33.out" ] && [ -s "$work/com34.out" ] && break
    sleep 0.1
  done
  # Wine's device manager lists the ports its registry names, when it starts.
  printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\n"COM33"="%s"\n"COM34"="%s"\n' \
    "$(head -1 "$work/com33.out")" "$(head -1 "$work/com34.out")" >"$work/ports.reg"
  wine regedit /S "Z:${work//\//\\}\\ports.reg" >/dev/null 2>&1
  wineserver -k 2>/dev/null || true
  wineserver -w
  # Our own server, so its chatter at exit goes to a log rather than the terminal.
  wineserver -p5 >"$work/wineserver.log" 2>&1
  TESSIVA_PHONE_PORT=COM33 TESSIVA_SILENT_PORT=COM34 wine "$cross/bin/test_phone_win.exe"
  echo "wincheck passed in $((SECONDS - started)) s"
)

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
    ASAN_OPTIONS=detect_leaks=1:fast_unwind_on_malloc=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
      LSAN_OPTIONS="suppressions=$PWD/lsan.supp:print_suppressions=0" \
      QT_QPA_PLATFORM=offscreen ctest --test-dir build-asan --output-on-failure -j "$(nproc)" -L unit
    ;;
  fuzz) fuzz "${2:-60}" ;;
  bench)
    build
    rm -f build/bench-*.json
    for b in build/bin/bench-*; do
      echo "== $b"
      "$b" --benchmark_out="build/$(basename "$b").json" --benchmark_out_format=json "${@:2}"
    done
    echo "== growth when the size doubles, and the link's ratios"
    /usr/bin/python3 bench/ratios.py build/bench-*.json
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
  wincheck) wincheck ;;
  package)
    # build/tessiva_<version>_<arch>.deb; install it with `sudo apt install ./build/tessiva_*.deb`.
    build
    rm -f build/tessiva_*.deb
    (cd build && cpack -G DEB >/dev/null)
    ls build/tessiva_*.deb
    ;;
  *)
    echo "usage: ./dev.sh run|test|build|bench|asan|wincheck|package|fuzz [SECONDS]" >&2
    exit 2
    ;;
esac
