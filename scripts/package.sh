#!/usr/bin/env bash
# Makes the release packages, into dist/ unless --out says otherwise:
#   varnock_VERSION_amd64.deb            the Linux build installed under /usr: the tool, the
#                                        drop-in libVarnock64.so, libvarnock.so with its header
#                                        and CMake package, the README and the examples
#   varnock-VERSION-windows-x86_64.zip   varnock.exe, Varnock64.dll, a README for Windows
#                                        users and the examples
#   varnock-VERSION-cp311-...-linux_x86_64.whl  the Python package of the Linux build, for
#                                        Debian 12's Python (when the build has it)
# VERSION is the version on the project() line of CMakeLists.txt. The Linux
# build is made in build-package/ and the Windows cross-build in
# build-windows/, unless build folders are given: those are packaged as they
# are, not rebuilt (scripts/test.sh packages the folders it has just tested).
# Usage: scripts/package.sh [--linux-build DIR] [--windows-build DIR] [--no-windows] [--out DIR]
set -euo pipefail
umask 022
root=$(cd "$(dirname "$0")/.." && pwd)
linux_build='' windows_build='' with_windows=true out=$root/dist

fail() { echo "package: $*" >&2; exit 1; }
while (($#)); do
  case $1 in
    --linux-build | --windows-build | --out)
      [[ $# -ge 2 && -n $2 ]] || fail "$1 needs a folder"
      case $1 in
        --linux-build) linux_build=$2 ;;
        --windows-build) windows_build=$2 ;;
        --out) out=$2 ;;
      esac
      shift 2 ;;
    --no-windows) with_windows=false; shift ;;
    *) sed -n 's/^# Usage: /usage: /p' "$0" >&2; exit 2 ;;
  esac
done

version=$(sed -n 's/^project(Varnock VERSION \([0-9][0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
[[ -n $version ]] || fail "no version on the project() line of $root/CMakeLists.txt"
# Packages of the same sources come out the same: every date in them is the
# last commit's (reproducible-builds.org's convention, which dpkg-deb follows).
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null ||
                                                date +%s)}

"$root/scripts/install-deps.sh" --package

cache_value() { sed -n "s/^$2:[A-Z]*=//p" "$1/CMakeCache.txt"; }
# A build folder to package: configured, of this version, without sanitizers.
check_build() {
  [[ -f $1/CMakeCache.txt ]] || fail "$1 is not a configured build folder"
  local built
  built=$(cache_value "$1" CMAKE_PROJECT_VERSION)
  [[ $built == "$version" ]] ||
    fail "$1 was configured for version ${built:-?}, the sources are $version: build it again"
  for option in VARNOCK_SANITIZE VARNOCK_SANITIZE_THREADS VARNOCK_FUZZ; do
    [[ $(cache_value "$1" $option) != ON ]] || fail "$1 is built with $option: package a plain build"
  done
}
size_of() { printf '%s (%s bytes)' "$(numfmt --to=iec-i --suffix=B "$(stat -c %s "$1")")" \
              "$(stat -c %s "$1")"; }
# The copyright notices of Debian packages whose code is compiled into ours.
notices_of() {
  for package in "$@"; do
    [[ -f /usr/share/doc/$package/copyright ]] || fail "no copyright file of $package"
    printf '\n\n==== %s (Debian package %s) ====\n\n' "${package%-dev}" "$package"
    cat "/usr/share/doc/$package/copyright"
  done
}

work=$(mktemp -d "${TMPDIR:-/tmp}/varnock-package.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
out=$(cd "$out" && pwd)
made=()

# --- The Debian package ---------------------------------------------------
if [[ -z $linux_build ]]; then
  linux_build=$root/build-package
  "$root/scripts/build.sh" "$linux_build" -DVARNOCK_BUILD_TESTS=OFF -DVARNOCK_BUILD_BENCHMARKS=OFF
fi
check_build "$linux_build"
libdir=$(cache_value "$linux_build" CMAKE_INSTALL_LIBDIR)
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || gcc -print-multiarch)
[[ $libdir == "lib/$multiarch" ]] ||
  fail "$linux_build installs libraries into $libdir; a Debian package keeps them in" \
       "lib/$multiarch: configure it with -DCMAKE_INSTALL_LIBDIR=lib/$multiarch"

# dpkg-shlibdeps looks for the package's files in debian/<package>/.
tree=$work/debian/varnock
DESTDIR=$tree cmake --install "$linux_build" --prefix /usr --strip >/dev/null
for file in bin/varnock "$libdir/libVarnock64.so" "$libdir/libvarnock.so" \
            include/varnock/varnock.h "$libdir/cmake/Varnock/VarnockConfig.cmake" \
            "$libdir/cmake/Varnock/VarnockConfigVersion.cmake" share/doc/varnock/README.md \
            share/doc/varnock/examples/condenser.txt; do
  [[ -e $tree/usr/$file ]] ||
    fail "$linux_build did not install /usr/$file (is it built with the tool and the API?)"
done
{ cat "$root/packaging/debian/copyright"; notices_of nlohmann-json3-dev libcli11-dev; } \
  >"$tree/usr/share/doc/varnock/copyright"

mapfile -t objects < <(find "$tree/usr/bin" "$tree/usr/$libdir" -maxdepth 1 -type f \
                         \( -path '*/bin/*' -o -name '*.so*' \) | sort)
if command -v dpkg-shlibdeps >/dev/null; then
  printf 'Source: varnock\n\nPackage: varnock\nArchitecture: any\n' >"$work/debian/control"
  depends=$(cd "$work" && dpkg-shlibdeps -O "${objects[@]}" 2>"$work/shlibdeps.log" |
            sed -n 's/^shlibs:Depends=//p') || { cat "$work/shlibdeps.log" >&2; fail "dpkg-shlibdeps failed"; }
else
  # Without dpkg-shlibdeps (package dpkg-dev): the packages that hold the
  # libraries the files link, without versions.
  echo "package: dpkg-shlibdeps not found; Depends lists the linked libraries' packages" >&2
  depends=$(for object in "${objects[@]}"; do
              objdump -p "$object" | awk '$1 == "NEEDED" { print $2 }'
            done | sort -u | while read -r soname; do
              path=$(ldconfig -p | awk -v so="$soname" '$1 == so && /x86-64/ { print $NF; exit }')
              [[ -n $path ]] || fail "no $soname on this system"
              { dpkg-query -S "$path" 2>/dev/null || dpkg-query -S "/usr$path" 2>/dev/null ||
                dpkg-query -S "${path#/usr}"; } | head -1 | cut -d: -f1
            done | sort -u | paste -sd, | sed 's/,/, /g')
fi
[[ -n $depends ]] || fail "found no libraries that the package's programs link"

arch=$(dpkg --print-architecture)
mkdir -p "$tree/DEBIAN"
control=$(<"$root/packaging/debian/control.in")
control=${control//@VERSION@/$version}
control=${control//@ARCH@/$arch}
control=${control//@INSTALLED_SIZE@/$(du -sk --apparent-size "$tree/usr" | cut -f1)}
control=${control//@DEPENDS@/$depends}
printf '%s\n' "$control" >"$tree/DEBIAN/control"
(cd "$tree" && find usr -type f -print0 | sort -z | xargs -0 md5sum) >"$tree/DEBIAN/md5sums"
deb=$out/varnock_${version}_$arch.deb
dpkg-deb --root-owner-group -Zxz --build "$tree" "$work/package.deb" >/dev/null
mv "$work/package.deb" "$deb"
made+=("$deb")

# --- The Python wheel -----------------------------------------------------
# Made offline by Debian's setuptools from the build's package folder: pip
# builds it in place, with no index and no build isolation.
if [[ -f $linux_build/python/varnock/__init__.py ]]; then
  wheel_src=$work/wheel-source
  mkdir -p "$wheel_src" "$work/wheel"
  cp -r "$linux_build/python/varnock" "$wheel_src/"
  rm -rf "$wheel_src/varnock/__pycache__"
  strip --strip-unneeded "$wheel_src"/varnock/_core*.so
  cp "$root/packaging/python/setup.py" "$root/packaging/python/README.md" "$wheel_src/"
  VARNOCK_VERSION=$version PIP_NO_CACHE_DIR=1 /usr/bin/python3 -m pip wheel --quiet --no-index --no-deps \
    --no-build-isolation --wheel-dir "$work/wheel" "$wheel_src" >"$work/wheel.log" 2>&1 ||
    { cat "$work/wheel.log" >&2; fail "the Python wheel could not be made"; }
  wheels=("$work"/wheel/varnock-*.whl)
  [[ ${#wheels[@]} -eq 1 && -f ${wheels[0]} ]] || fail "pip made no single wheel"
  rm -f "$out"/varnock-*.whl
  mv "${wheels[0]}" "$out/"
  made+=("$out/$(basename "${wheels[0]}")")
else
  echo "package: $linux_build has no Python package (python/varnock); no wheel" >&2
fi

# --- The Windows zip ------------------------------------------------------
if $with_windows; then
  if [[ -z $windows_build ]]; then
    windows_build=$root/build-windows
    "$root/scripts/build-windows.sh" "$windows_build"
  fi
  check_build "$windows_build"
  dll=$windows_build/src/Varnock64.dll exe=$windows_build/cli/varnock.exe
  [[ -f $dll ]] || fail "no Varnock64.dll in $windows_build/src: scripts/build-windows.sh makes it"
  [[ -f $exe ]] ||
    fail "no varnock.exe in $windows_build/cli: the Windows cross-build does not make the" \
         "command-line tool (VARNOCK_BUILD_CLI there); the zip needs it"
  top=varnock-$version-windows-x86_64
  stage=$work/$top
  mkdir -p "$stage/examples"
  cp "$dll" "$stage/Varnock64.dll"
  x86_64-w64-mingw32-strip -o "$stage/varnock.exe" "$exe" 2>/dev/null || cp "$exe" "$stage/varnock.exe"
  cp "$root"/examples/*.txt "$stage/examples/"
  # Text for Notepad: CR LF line ends.
  sed "s/@VERSION@/$version/; s/\$/\r/" "$root/packaging/windows/README.txt" >"$stage/README.txt"
  notices_of nlohmann-json3-dev libcli11-dev mingw-w64-x86-64-dev | sed 's/$/\r/' \
    >"$stage/THIRD-PARTY-NOTICES.txt"
  zip=$out/$top.zip
  (cd "$work" && find "$top" -type f | sort) >"$work/zip-list"
  /usr/bin/python3 - "$work" "$work/zip-list" "$work/package.zip" <<'EOF'
import sys, time, zipfile, os
base, listing, target = sys.argv[1:]
# Zip dates start in 1980; every entry carries the same one.
stamp = time.gmtime(max(int(os.environ["SOURCE_DATE_EPOCH"]), 315532800))[:6]
with zipfile.ZipFile(target, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as archive:
    for name in open(listing).read().split("\n"):
        if name:
            entry = zipfile.ZipInfo(name, stamp)
            entry.compress_type = zipfile.ZIP_DEFLATED
            entry.external_attr = 0o644 << 16
            with open(os.path.join(base, name), "rb") as source:
                archive.writestr(entry, source.read())
EOF
  mv "$work/package.zip" "$zip"
  made+=("$zip")
fi

for package in "${made[@]}"; do
  echo "package: $package  $(size_of "$package")"
done
