#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package in build/ and checks it: the desktop entry and the
# AppStream file validate, the changelog's latest entry is this version, the
# package holds the programs, the desktop entry, the icons, the metainfo, the
# manual pages, the copyright file and the changelog, the programs are hardened,
# and lintian finds no error and no warning (its notes are shown, not fatal).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh "$@"
desktop-file-validate packaging/morv.desktop
appstreamcli validate --no-net build/packaging/io.morv.Morv.metainfo.xml

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/CMakeCache.txt)
logged=$(dpkg-parsechangelog -l packaging/changelog -S Version)
if [ "$logged" != "$version" ]; then
  echo "packaging/changelog ends at $logged, the project is at $version: add an entry for $version"
  exit 1
fi

rm -f build/morv_*.deb
(cd build && cpack -G DEB >/dev/null)
deb=$(ls build/morv_*.deb)
echo "== $deb"
dpkg-deb -f "$deb"
dpkg-deb -f "$deb" Recommends | grep -qw bash-completion || { echo "the package does not recommend bash-completion"; exit 1; }
dpkg-deb -c "$deb" | awk '{print $6}' | tee build/package-contents.txt
for f in ./usr/bin/morv-cli ./usr/libexec/morv/morv-import ./usr/libexec/morv/morv-grade ./usr/share/applications/morv.desktop ./usr/share/metainfo/io.morv.Morv.metainfo.xml \
         ./usr/share/icons/hicolor/256x256/apps/morv.png ./usr/share/man/man1/morv-cli.1.gz ./usr/share/man/man1/morv.1.gz \
         ./usr/share/doc/morv/copyright ./usr/share/doc/morv/changelog.gz \
         ./usr/share/bash-completion/completions/morv ./usr/share/bash-completion/completions/morv-cli; do
  grep -qx "$f" build/package-contents.txt || { echo "missing from the package: $f"; exit 1; }
done

# Hardening, read from the packaged programs: full RELRO with immediate binding,
# and stack protectors and checked buffer functions linked in.
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
for program in "$unpacked"/usr/bin/* "$unpacked"/usr/libexec/morv/*; do
  name=${program##*/}
  # Read whole before matching: grep -q stops early, and pipefail would count
  # readelf's broken pipe as a failure.
  segments=$(readelf -lW "$program") dynamic=$(readelf -dW "$program") symbols=$(readelf -sW --dyn-syms "$program")
  grep -q GNU_RELRO <<<"$segments" || { echo "$name: no RELRO segment"; exit 1; }
  grep -Eq 'BIND_NOW|FLAGS.*NOW' <<<"$dynamic" || { echo "$name: not bound at start-up (no BIND_NOW)"; exit 1; }
  grep -q '__stack_chk_fail' <<<"$symbols" || { echo "$name: no stack protector"; exit 1; }
  grep -q '__[a-z]*_chk@' <<<"$symbols" || { echo "$name: no fortified functions"; exit 1; }
  echo "hardened: $name"
done

# Errors and warnings fail the package; notes (I:) are printed for the record.
lintian --display-info --fail-on error,warning "$deb"
echo "package ok"
