#!/usr/bin/env bash
# Builds the .deb with CPack into a temporary folder and checks its name,
# control fields and contents: /usr/bin/ombrix and the man page.
# Usage: check_deb.sh CPACK BUILD_DIR VERSION. Exits 77 (skipped) without dpkg-deb.
set -u
cpack=$1 build=$2 version=$3
if ! command -v dpkg-deb >/dev/null; then
  echo "SKIP: dpkg-deb is not installed"
  exit 77
fi
out=$(mktemp -d /tmp/ombrix-deb.XXXXXX)
trap 'rm -rf "$out"' EXIT
if ! "$cpack" --config "$build/CPackConfig.cmake" -G DEB -B "$out" >"$out/log" 2>&1; then
  cat "$out/log"; echo "FAIL cpack"; exit 1
fi
debs=("$out"/ombrix_"$version"_*.deb)
if [ ! -f "${debs[0]}" ]; then
  ls "$out"; echo "FAIL no ombrix_${version}_*.deb"; exit 1
fi
deb=${debs[0]}
fail=0
[ "$(dpkg-deb -f "$deb" Package)" = ombrix ] || { echo "FAIL Package field"; fail=1; }
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || { echo "FAIL Version field"; fail=1; }
[ -n "$(dpkg-deb -f "$deb" Maintainer)" ] || { echo "FAIL no Maintainer field"; fail=1; }
[ -n "$(dpkg-deb -f "$deb" Description)" ] || { echo "FAIL no Description field"; fail=1; }
contents=$(dpkg-deb -c "$deb")
for path in ./usr/bin/ombrix ./usr/share/man/man1/ombrix.1; do
  grep -q " $path\$" <<<"$contents" || { echo "FAIL $path not in the package"; fail=1; }
done
mkdir "$out/root" && dpkg-deb -x "$deb" "$out/root"
first=$("$out/root/usr/bin/ombrix" -v | head -n 1)
[ "$first" = "ombrix $version" ] || { echo "FAIL packaged binary -v says: $first"; fail=1; }
if [ $fail -eq 0 ]; then echo "PASS deb $(basename "$deb")"; else echo "$contents"; fi
exit $fail
