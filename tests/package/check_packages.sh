#!/usr/bin/env bash
# Checks the release packages of tested build folders. Makes them with
# scripts/package.sh, unpacks the .deb and runs examples/condenser.txt with
# the tool found there and with a program built against the unpacked CMake
# package: both must write the bytes the build's own tool writes. Checks the
# .deb's Depends and layout, what the libraries export, and what the zip
# holds. Works in LINUX_BUILD/package-check/.
# Usage: tests/package/check_packages.sh LINUX_BUILD (WINDOWS_BUILD | --no-windows)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
[[ $# -eq 2 ]] || { sed -n 's/^# Usage: /usage: /p' "$0" >&2; exit 2; }
linux_build=$(cd "$1" && pwd)
if [[ $2 == --no-windows ]]; then windows=(--no-windows); else windows=(--windows-build "$2"); fi
fail() { echo "package check: $*" >&2; exit 1; }

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$linux_build/CMakeCache.txt")
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
work=$linux_build/package-check
rm -rf "$work"
mkdir -p "$work"
"$root/scripts/package.sh" --linux-build "$linux_build" "${windows[@]}" --out "$work/dist"

deb=$work/dist/varnock_${version}_$(dpkg --print-architecture).deb
depends=$(dpkg-deb -I "$deb" | sed -n 's/^ Depends: //p')
depends_names=$(tr ',' '\n' <<<"$depends" | sed 's/^ *//; s/[ (].*//')
for package in libc6 libstdc++6 libgcc-s1 libcairo2 libssl3; do
  grep -qxF "$package" <<<"$depends_names" || fail "Depends ($depends) lacks $package"
done

dpkg-deb -x "$deb" "$work/root"
usr=$work/root/usr lib=$work/root/usr/lib/$multiarch
for file in bin/varnock "lib/$multiarch/libVarnock64.so" "lib/$multiarch/libvarnock.so" \
            include/varnock/varnock.h "lib/$multiarch/cmake/Varnock/VarnockConfig.cmake" \
            share/doc/varnock/README.md share/doc/varnock/copyright; do
  [[ -e $usr/$file ]] || fail "the .deb has no /usr/$file"
done
for example in "$root"/examples/*.txt; do
  cmp -s "$example" "$usr/share/doc/varnock/examples/${example##*/}" ||
    fail "the .deb's examples/${example##*/} is not the source's"
done

# The drop-in library exports main6 alone, the API library the API alone.
exports() { nm -D --defined-only -C "$1" | cut -d' ' -f3-; }
[[ $(exports "$lib/libVarnock64.so") == main6 ]] || fail "libVarnock64.so exports more than main6"
api=$(exports "$lib/libvarnock.so")
if grep -v '^varnock::' <<<"$api"; then fail "libvarnock.so exports the symbols above, not of the API"; fi
for symbol in 'varnock::Session::Session()' 'varnock::Session::~Session()' 'varnock::Session::run(' \
              'varnock::version()' 'varnock::available_cpus()' 'varnock::RunFailure::describe'; do
  grep -qF "$symbol" <<<"$api" || fail "libvarnock.so does not export $symbol"
done

# The packaged tool and a caller of the packaged library against the build.
sheet=$root/examples/condenser.txt
mkdir -p "$work/build-run" "$work/deb-run" "$work/consumer-run"
"$linux_build/cli/varnock" run "$sheet" -o "$work/build-run" -q --no-report
LD_LIBRARY_PATH=$lib "$usr/bin/varnock" run "$sheet" -o "$work/deb-run" -q --no-report
cmake -S "$root/tests/package/consumer" -B "$work/consumer" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_PREFIX_PATH="$usr" -DVARNOCK_VERSION="$version" >/dev/null
grep -qx "Varnock_DIR:PATH=$lib/cmake/Varnock" "$work/consumer/CMakeCache.txt" ||
  fail "the consumer found another Varnock: $(grep '^Varnock_DIR' "$work/consumer/CMakeCache.txt")"
cmake --build "$work/consumer" >/dev/null
ldd "$work/consumer/consumer" | grep -qF "$lib/libvarnock.so" ||
  fail "the consumer does not load the unpacked libvarnock.so"
"$work/consumer/consumer" "$sheet" "$work/consumer-run" "$version"
for run in deb-run consumer-run; do
  for file in OUT_M.txt OUT_MI.txt OUT_MR.txt; do
    cmp "$work/build-run/$file" "$work/$run/$file" || fail "$run/$file differs from the build's"
  done
done

# The Python package: in the .deb where Debian's Python looks, and as a
# wheel installed into a virtual environment that sees Debian's NumPy. Both
# must write the build's bytes.
python_check='import sys, varnock; r = varnock.run(sys.argv[1], output_dir=sys.argv[2]); print(varnock.__file__)'
if [[ -f $linux_build/python/varnock/__init__.py ]]; then
  site=$usr/lib/python3/dist-packages
  [[ -f $site/varnock/__init__.py ]] || fail "the .deb has no /usr/lib/python3/dist-packages/varnock"
  found=$(PYTHONPATH=$site /usr/bin/python3 -c "$python_check" "$sheet" "$work/deb-python-run")
  [[ $found == "$site/varnock/__init__.py" ]] || fail "python3 imported $found, not the .deb's package"
  wheels=("$work"/dist/varnock-"$version"-cp3*-linux_x86_64.whl)
  [[ -f ${wheels[0]} ]] || fail "no wheel tagged linux_x86_64 in $work/dist"
  /usr/bin/python3 -m venv --system-site-packages "$work/venv"
  "$work/venv/bin/pip" install --quiet --no-index --no-deps "${wheels[0]}"
  found=$(cd "$work" && "$work/venv/bin/python" -c "$python_check" "$sheet" "$work/wheel-run")
  [[ $found == "$work"/venv/lib/python3*/site-packages/varnock/__init__.py ]] ||
    fail "the virtual environment imported $found, not the wheel's package"
  for run in deb-python-run wheel-run; do
    for file in OUT_M.txt OUT_MI.txt OUT_MR.txt; do
      cmp "$work/build-run/$file" "$work/$run/$file" || fail "$run/$file differs from the build's"
    done
  done
fi

if [[ $2 != --no-windows ]]; then
  top=varnock-$version-windows-x86_64
  zip=$work/dist/$top.zip
  /usr/bin/python3 -m zipfile -e "$zip" "$work/zip"
  names=$(/usr/bin/python3 -c 'import sys, zipfile; print(*zipfile.ZipFile(sys.argv[1]).namelist(), sep="\n")' "$zip")
  for name in varnock.exe Varnock64.dll README.txt THIRD-PARTY-NOTICES.txt "$root"/examples/*.txt; do
    name=${name#"$root/"}
    grep -qx "$top/$name" <<<"$names" || fail "the zip has no $top/$name"
  done
  cmp "$2/src/Varnock64.dll" "$work/zip/$top/Varnock64.dll" || fail "the zip's Varnock64.dll is not the build's"
  [[ $(head -c 2 "$work/zip/$top/varnock.exe") == MZ ]] || fail "the zip's varnock.exe is no Windows program"
  grep -qx "Version $version"$'\r' "$work/zip/$top/README.txt" ||
    fail "the zip's README.txt does not give the version $version on a CR LF line"
fi
echo "package check: passed: the .deb's tool and library write the build's bytes; Depends: $depends"
