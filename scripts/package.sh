#!/usr/bin/env bash
# Builds the Debian package in build/ and checks it: the desktop entry and the
# AppStream file validate, and the package holds the programs, the desktop entry,
# the icons, the metainfo and the manual pages.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
desktop-file-validate packaging/morv.desktop
appstreamcli validate --no-net build/packaging/io.morv.Morv.metainfo.xml
(cd build && cpack -G DEB >/dev/null)
deb=$(ls -t build/morv_*.deb | head -n 1)
echo "== $deb"
dpkg-deb -I "$deb" | sed -n '/Package:/,$p'
dpkg-deb -c "$deb" | awk '{print $6}' | tee build/package-contents.txt
for f in ./usr/bin/morv-cli ./usr/share/applications/morv.desktop ./usr/share/metainfo/io.morv.Morv.metainfo.xml \
         ./usr/share/icons/hicolor/256x256/apps/morv.png ./usr/share/man/man1/morv-cli.1 ./usr/share/man/man1/morv.1; do
  grep -qx "$f" build/package-contents.txt || { echo "missing from the package: $f"; exit 1; }
done
echo "package ok"
