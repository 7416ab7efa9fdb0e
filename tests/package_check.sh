#!/usr/bin/env bash
# Builds the Debian package from the build in BUILD_DIR, unpacks it into a
# temporary root and checks its files, its dependencies and that the unpacked
# program starts from an unrelated directory with its panels loaded.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "package check: $*" >&2; exit 1; }

deb=$(PACKAGE_DIR="$tmp/out" "$src/scripts/package" | tail -1)
[ "$(basename "$deb")" = "tarvo-scope_3.03_$(dpkg --print-architecture).deb" ] || fail "package name $deb"
dpkg-deb -x "$deb" "$tmp/root"

for f in usr/bin/tarvo-scope usr/bin/tarvo-sensor-sim \
         usr/share/tarvo-scope/TARVO-MS-LT-ScopeV303.uir usr/share/tarvo-scope/vm.bmp \
         usr/share/applications/tarvo-scope.desktop \
         usr/share/icons/hicolor/scalable/apps/tarvo-scope.svg \
         usr/share/doc/tarvo-scope/guide.md; do
  [ -f "$tmp/root/$f" ] || fail "missing /$f"
done
for png in "$src"/docs/*.png; do
  [ -f "$tmp/root/usr/share/doc/tarvo-scope/$(basename "$png")" ] || fail "missing picture $png"
done
grep -q '^Exec=tarvo-scope$' "$tmp/root/usr/share/applications/tarvo-scope.desktop" || fail "desktop Exec"

# Every shared library the program needs comes from a listed package, and no -dev package is listed.
depends=$(dpkg-deb -f "$deb" Depends)
case "$depends" in *-dev*) fail "Depends names a -dev package: $depends" ;; esac
for lib in $(readelf -d "$tmp/root/usr/bin/tarvo-scope" | sed -n 's/.*NEEDED.*\[\(.*\)\]/\1/p'); do
  case "$lib" in libc.so* | libm.so* | libstdc++.so* | libgcc_s.so*) continue ;; esac
  pkg=$(dpkg -S "*/$lib" 2>/dev/null | head -1 | cut -d: -f1) || true
  [ -n "$pkg" ] || fail "no package holds $lib"
  [[ ", $depends," == *", $pkg,"* ]] || fail "$lib ($pkg) missing from Depends: $depends"
done

# Started from elsewhere, the program finds its panel file and logo in the share
# folder: with any panel missing it ends at once with -1; with all of them loaded it
# keeps running until it is ended.
mkdir "$tmp/elsewhere"
cd "$tmp/elsewhere"
status=0
QT_QPA_PLATFORM=offscreen timeout 5 "$tmp/root/usr/bin/tarvo-scope" 2>"$tmp/stderr" || status=$?
[ $status -eq 124 ] || { cat "$tmp/stderr" >&2; fail "program ended with $status before it was stopped"; }
! grep -i 'panel file' "$tmp/stderr" || fail "panel file complaints"
"$tmp/root/usr/bin/tarvo-sensor-sim" --help >/dev/null || fail "tarvo-sensor-sim --help"
echo "package check passed: $deb"
