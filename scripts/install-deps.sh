#!/usr/bin/env bash
# Installs what Varnock needs on Debian 12 (run as root): to build and run
# it, or with --tests also to build and run every test and benchmark.
# Packages already present are left alone, so a second run is quick.
# With --mpi also OpenMPI, for the MPI build (--tests includes it); with
# --package what scripts/package.sh needs (--tests includes that too).
# Usage: scripts/install-deps.sh [--tests] [--mpi] [--package]
set -euo pipefail

packages=(
  cmake ninja-build g++ binutils pkg-config  # build tools; nm checks the libraries' symbols
  libcli11-dev                     # command-line parsing
  nlohmann-json3-dev               # run records (run.json), JSON output
  libssl-dev                       # SHA-256 of the files a run record lists
  libcairo2-dev fonts-dejavu-core  # figures and the drawing of the system, and their font
  esbuild                          # bundles the report pages' scripts at build time
  libboost-dev                     # Beast and Asio (header-only): the HTTP server of varnock watch
  python3-dev pybind11-dev python3-numpy  # the Python package varnock (import varnock)
  libnlopt-cxx-dev                 # the optimisers of varnock optimize
)
with_tests=false with_mpi=false with_package=false
for arg in "$@"; do
  case $arg in
    --tests) with_tests=true with_mpi=true with_package=true ;;
    --mpi) with_mpi=true ;;
    --package) with_package=true ;;
    *) echo "install-deps: unknown option $arg" >&2; exit 2 ;;
  esac
done
if $with_mpi; then
  packages+=(libopenmpi-dev openmpi-bin)  # the MPI build: runs and studies shared among ranks
fi
if $with_package; then
  packages+=(
    dpkg-dev                         # dpkg-shlibdeps: the Depends of the .deb
    python3                          # writes the Windows zip
    python3-setuptools python3-wheel python3-pip python3-venv  # the Python wheel, and a venv to try it in
  )
fi
if $with_tests; then
  packages+=(
    valgrind                         # checks the fast mode's vector code for unset values
    libgtest-dev libgmock-dev        # tests
    libbenchmark-dev                 # benchmarks
    python3                          # the reference implementation the tests compare with
    locales                          # a decimal-comma locale for the locale test
    g++-mingw-w64-x86-64-posix mingw-w64  # the cross-build of Varnock64.dll for 64-bit Windows
    wine64                           # runs that DLL in a Windows process for its tests
    chromium                         # renders the report pages headless
    python3-pil                      # decodes the screenshots and the figures the pages save
    python3-pytest python3-matplotlib  # the Python package's tests, its plots and the example notebook
    poppler-utils                    # opens the PDF figures
    clang libclang-rt-14-dev         # libFuzzer, for the fuzz targets
  )
fi

# Node runs the pages' script tests and ESLint. A machine may have its own
# Node (from another source than Debian's): then that one is used.
if $with_tests; then
  command -v node >/dev/null 2>&1 || packages+=(nodejs)
  command -v npm >/dev/null 2>&1 || packages+=(npm)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  if [[ $(id -u) -ne 0 ]]; then
    echo "install-deps: missing packages: ${missing[*]}; run this script as root" >&2
    exit 1
  fi
  echo "install-deps: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# A locale whose decimal separator is a comma: the sheet reader must not
# care what the process locale says.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  if [[ $(id -u) -eq 0 ]]; then
    localedef -i de_DE -f UTF-8 de_DE.UTF-8 >/dev/null 2>&1 || true
  fi
fi

# ESLint for the pages' scripts, at the version src/web/package-lock.json
# pins, into src/web/node_modules (from the npm registry, once per lockfile).
if $with_tests; then
  web=$(cd "$(dirname "$0")/../src/web" && pwd)
  if ! cmp -s "$web/package-lock.json" "$web/node_modules/.installed-lock.json"; then
    echo "install-deps: installing ESLint for src/web"
    (cd "$web" && npm ci --no-audit --no-fund --loglevel=error >/dev/null)
    cp "$web/package-lock.json" "$web/node_modules/.installed-lock.json"
  fi
fi
