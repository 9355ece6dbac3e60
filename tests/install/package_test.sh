#!/usr/bin/env bash
# cpack's Debian package: its version, the Depends that dpkg-shlibdeps worked
# out (Embree's and Assimp's libraries among them), and its host rendering from
# the unpacked package. Never installed on the system: unpacked into a
# temporary folder.
# package_test.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
# The real path: the host reports paths from /proc/self/exe, with links resolved.
work=$(cd "$(mktemp -d)" && pwd -P)
trap 'rm -rf "$work"' EXIT
Fail() {
  echo "package: $*" >&2
  exit 1
}
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work" >"$work/cpack.log" 2>&1 || Fail "cpack: $(cat "$work/cpack.log")"
package=$(ls "$work"/tessaline_*.deb 2>/dev/null || true)
[ -n "$package" ] || Fail "cpack made no package: $(ls "$work")"

[ "$(dpkg-deb -f "$package" Version)" = "$version" ] || Fail "version $(dpkg-deb -f "$package" Version), not $version"
[ "$(dpkg-deb -f "$package" Package)" = tessaline ] || Fail "named $(dpkg-deb -f "$package" Package)"
depends=$(dpkg-deb -f "$package" Depends)
# Debian's names carry the library's soname: libembree3-3, libassimp5.
for library in 'libembree3(-[0-9]+)?' 'libassimp[0-9]+' libc6; do
  grep -Eq "(^|, )$library( |,|$)" <<<"$depends" || Fail "Depends names no $library: $depends"
done
[ -n "$(dpkg-deb -f "$package" Maintainer)" ] || Fail "no maintainer"

dpkg-deb -x "$package" "$work/root"
host=$work/root/usr/bin/tessaline-host
cd "$work"
info=$("$host" info)
module=$(sed -n 's/^module: //p' <<<"$info")
[ "${module#"$work/root/usr/lib/"}" != "$module" ] || Fail "the unpacked host used $module"
"$host" render --width 32 --height 24 --samples 1 -o "$work/demo.png" >/dev/null
[ "$(head -c 8 "$work/demo.png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || Fail "render wrote no PNG"
echo "package: $(basename "$package") depends on $depends; its host renders"
