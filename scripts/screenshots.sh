#!/usr/bin/env bash
# Renders the screenshots of docs/screenshots/ offscreen: the main window
# connected to a throwaway PostgreSQL, the options dialog and the about dialog;
# then, when LibreOffice and poppler-utils are installed, the two sheets of a
# workbook report as LibreOffice prints them.
# Settings go to a temporary directory, never a person's real ones.
#   usage: scripts/screenshots.sh [OUTPUT_DIR]   (default docs/screenshots)
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build}
out=${1:-docs/screenshots}

[ -f "$build_dir/CMakeCache.txt" ] || cmake -S . -B "$build_dir"
cmake --build "$build_dir" --target screenshots relatorio-cli -j2

home=$(mktemp -d /tmp/quorbel-shots.XXXXXX)
trap 'rm -rf "$home"' EXIT
export QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME=$home/config XDG_RUNTIME_DIR=$home
chmod 700 "$home"
# Brazilian Portuguese month and day names, as the operators see them.
scripts/with-test-db.sh env LANG=pt_BR.UTF-8 LC_ALL= "$build_dir/screenshots" "$out"

# A week of generated data as a workbook; the top of its first page (sheet
# Relatório) and of its last (sheet Produtividade, landscape), at 80 dpi.
pasta() {
    set -euo pipefail
    export TZ=America/Sao_Paulo PGPASSWORD=tarnek
    psql -X -q -v ON_ERROR_STOP=1 -v inicio=2026-03-02 -v dias=7 \
        -v variedades=3 -v funcionarios=6 \
        "user=quorbel dbname=BDQuorbel hostaddr=$QUORBEL_TEST_HOSTADDR port=$QUORBEL_TEST_PORT" \
        -f scripts/demo-data.sql >/dev/null
    "$build_dir/relatorio-cli" --inicio "2026-03-02 00:00" --fim "2026-03-08 23:59:59" \
        --diretorio "$home" --endereco "$QUORBEL_TEST_HOSTADDR" --porta "$QUORBEL_TEST_PORT" \
        --formato xlsx
    HOME=$home soffice --headless --convert-to pdf --outdir "$home" "$home"/Relatorio_*.xlsx \
        >/dev/null 2>&1
    local pdf paginas
    pdf=$(echo "$home"/Relatorio_*.pdf)
    paginas=$(pdfinfo "$pdf" | awk '/^Pages:/ {print $2}')
    pdftoppm -png -r 80 -singlefile -f 1 -l 1 -x 40 -y 40 -W 600 -H 500 "$pdf" \
        "$out/pasta-relatorio"
    pdftoppm -png -r 80 -singlefile -f "$paginas" -l "$paginas" -x 40 -y 40 -W 800 -H 390 \
        "$pdf" "$out/pasta-produtividade"
}
if command -v soffice >/dev/null && command -v pdftoppm >/dev/null; then
    export -f pasta
    export build_dir home out
    scripts/with-test-db.sh bash -c pasta
else
    echo "screenshots: no LibreOffice or poppler-utils, the workbook is not rendered"
fi
echo "screenshots: written to $out"
