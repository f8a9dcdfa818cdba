#!/usr/bin/env bash
# The Windows x64 package in dist/: a folder that runs as it is, zipped
# (RelatorioGerador-<version>-windows-x64.zip), and a per-user installer made
# with makensis (RelatorioGerador-<version>-instalador.exe). Builds first.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
. scripts/windows/versions.sh
scripts/windows/build.sh >/dev/null
version=$(sed -n 's/^project(RelatorioGerador VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
build=build-windows
qt=$QUORBEL_MINGW_PREFIX
runtime=/usr/lib/gcc/$QUORBEL_MINGW_TRIPLET/12-posix
stage=dist/windows/RelatorioGerador
rm -rf dist/windows
mkdir -p "$stage/platforms" "$stage/styles" "$stage/imageformats" "$stage/licencas"

cp "$build/RelatorioGerador.exe" "$build/relatorio-cli.exe" "$stage/"
cp "$qt/bin/Qt5Core.dll" "$qt/bin/Qt5Gui.dll" "$qt/bin/Qt5Widgets.dll" "$stage/"
cp "$qt/plugins/platforms/qwindows.dll" "$stage/platforms/"
cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"
# The window's icon is an ICO resource.
cp "$qt/plugins/imageformats/qico.dll" "$stage/imageformats/"
cp "$qt/lib/libpq.dll" "$stage/"
if [ -f "$qt/bin/libxlsxwriter.dll" ]; then
    cp "$qt/bin/libxlsxwriter.dll" "/usr/$QUORBEL_MINGW_TRIPLET/lib/zlib1.dll" "$stage/"
fi
cp "$runtime/libgcc_s_seh-1.dll" "$runtime/libstdc++-6.dll" \
    "/usr/$QUORBEL_MINGW_TRIPLET/lib/libwinpthread-1.dll" "$stage/"
# Qt's own texts in Portuguese, looked for beside the program.
cp /usr/share/qt5/translations/qtbase_pt_BR.qm "$stage/"
# The licences of everything shipped, from the sources it was built from.
src=$QUORBEL_MINGW_PREFIX/src
qtsrc=$(ls -d "$src"/qtbase-opensource-src-*/ | head -n1)
third=$qtsrc/src/3rdparty
licence() { # NAME FILE...
    local name=$1
    shift
    cat "$@" > "$stage/licencas/$name.txt"
}
[ -f LICENSE ] && licence RelatorioGerador LICENSE
licence Qt-LGPL-3 "$qtsrc/LICENSE.LGPL3"
licence Qt-GPL-3 "$qtsrc/LICENSE.GPL3"
licence Qt-FreeType "$third/freetype/LICENSE.txt" "$third/freetype/docs/FTL.TXT"
licence Qt-HarfBuzz "$third/harfbuzz-ng/COPYING"
licence Qt-PCRE2 "$third/pcre2/LICENCE"
licence Qt-libpng "$third/libpng/LICENSE"
licence Qt-zlib "$third/zlib/LICENSE"
licence PostgreSQL-libpq "$(ls -d "$src"/postgresql-15-*/ | head -n1)COPYRIGHT"
if [ -f "$stage/libxlsxwriter.dll" ]; then
    licence libxlsxwriter "$(ls -d "$src"/libxlsxwriter-*/ | head -n1)License.txt"
    licence zlib /usr/share/doc/libz-mingw-w64/copyright
fi
licence GCC-runtime-exception /usr/share/doc/gcc-mingw-w64-base/copyright
licence MinGW-w64-winpthreads /usr/share/doc/mingw-w64-common/copyright
# Debian's MinGW runtime keeps its symbols (libstdc++ alone is 23 MB with them).
find "$stage" -name '*.exe' -o -name '*.dll' | xargs "${QUORBEL_MINGW_TRIPLET}-strip" --strip-unneeded

(cd dist/windows && rm -f "../RelatorioGerador-$version-windows-x64.zip" \
    && zip -qr9 "../RelatorioGerador-$version-windows-x64.zip" RelatorioGerador)
makensis -V2 -DVERSAO="$version" -DORIGEM="$root/$stage" -DICONE="$root/img/icone" \
    -DSAIDA="$root/dist/RelatorioGerador-$version-instalador.exe" scripts/windows/instalador.nsi
ls -l dist/*.zip dist/*.exe
