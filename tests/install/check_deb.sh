#!/usr/bin/env bash
# Builds the .deb with CPack into a temporary folder and checks its name,
# control fields and contents: /usr/bin/ombrix (stripped), the compressed man
# page, the documents with the copyright file and the changelog, and the
# lintian override; then runs lintian on it, which must report no error and
# no warning (skipped without lintian, except under CI, where .ci/run
# installs it). Usage: check_deb.sh CPACK BUILD_DIR SOURCE_DIR VERSION.
# Exits 77 (skipped) without dpkg-deb.
set -u
cpack=$1 build=$2 source=$3 version=$4
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
for path in ./usr/bin/ombrix ./usr/share/man/man1/ombrix.1.gz ./usr/share/doc/ombrix/copyright \
  ./usr/share/doc/ombrix/changelog.gz ./usr/share/doc/ombrix/README.md ./usr/share/doc/ombrix/language.md \
  ./usr/share/doc/ombrix/examples/hello.bas ./usr/share/lintian/overrides/ombrix; do
  grep -q " $path\$" <<<"$contents" || { echo "FAIL $path not in the package"; fail=1; }
done
mkdir "$out/root" && dpkg-deb -x "$deb" "$out/root"
first=$("$out/root/usr/bin/ombrix" -v | head -n 1)
[ "$first" = "ombrix $version" ] || { echo "FAIL packaged binary -v says: $first"; fail=1; }
grep -q "Permission is hereby granted" "$out/root/usr/share/doc/ombrix/copyright" ||
  { echo "FAIL the copyright file does not carry the licence"; fail=1; }
command -v readelf >/dev/null || { echo "FAIL readelf (binutils) is needed to check the binary is stripped"; fail=1; }
if readelf -S "$out/root/usr/bin/ombrix" | grep -q "\.symtab"; then echo "FAIL the binary is not stripped"; fail=1; fi
zcat "$out/root/usr/share/man/man1/ombrix.1.gz" | cmp -s - "$source/docs/ombrix.1" ||
  { echo "FAIL the packaged man page differs from docs/ombrix.1"; fail=1; }

if command -v lintian >/dev/null; then
  # Root is warned against; the check itself is the same.
  if ! lintian --fail-on error,warning "$deb" >"$out/lintian" 2>&1; then
    echo "FAIL lintian:"; cat "$out/lintian"; fail=1
  else
    echo "lintian: no error, no warning$(grep -c '^[IP]:' "$out/lintian" | sed 's/^0$//; s/.\+/ (& notes)/')"
  fi
elif [ -n "${CI:-}" ]; then
  echo "FAIL lintian is not installed, and CI must run it (.ci/run installs it)"; fail=1
else
  echo "lintian is not installed: the .deb's conventions are not checked"
fi
if [ $fail -eq 0 ]; then echo "PASS deb $(basename "$deb")"; else echo "$contents"; fi
exit $fail
