#!/usr/bin/env bash
# Checks the Debian package of scripts/package.sh without installing it: the
# files it must hold, the menu entry and the AppStream metainfo against their
# validators, and the programs extracted from it with dpkg-deb: relatorio-cli
# --version answers, and the window, offscreen, is still running after 3 s.
set -euo pipefail
cd "$(dirname "$0")/.."
deb=$(scripts/package.sh | tail -n 1)
id=br.com.quorbel.relatoriogerador
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
dpkg-deb -x "$deb" "$tmp/raiz"
raiz=$tmp/raiz
echo "package: $deb, $(du -k "$deb" | cut -f1) KiB"

falhou=0
for arquivo in usr/bin/RelatorioGerador usr/bin/relatorio-cli \
        usr/share/applications/$id.desktop usr/share/metainfo/$id.metainfo.xml \
        usr/share/icons/hicolor/{48x48,32x32,16x16}/apps/$id.png \
        usr/lib/systemd/user/relatorio-diario.{service,timer} \
        usr/share/man/man1/{RelatorioGerador,relatorio-cli}.1.gz \
        usr/share/doc/relatorio-gerador/{copyright,changelog.gz,agendamento.md}; do
    if [ ! -f "$raiz/$arquivo" ]; then
        echo "package: /$arquivo is missing" >&2
        falhou=1
    fi
done
[ $falhou = 0 ]

desktop-file-validate "$raiz/usr/share/applications/$id.desktop"
appstreamcli validate --no-net "$raiz/usr/share/metainfo/$id.metainfo.xml"

versao=$("$raiz/usr/bin/relatorio-cli" --version)
echo "package: $versao"
[[ $versao == "relatorio-cli "* ]]

# Settings of its own, never a person's.
XDG_CONFIG_HOME=$tmp/config QT_QPA_PLATFORM=offscreen "$raiz/usr/bin/RelatorioGerador" \
    >"$tmp/janela.log" 2>&1 &
janela=$!
sleep 3
if ! kill -0 "$janela" 2>/dev/null; then
    status=0
    wait "$janela" || status=$?
    echo "package: the window program ended within 3 s (status $status):" >&2
    cat "$tmp/janela.log" >&2
    exit 1
fi
kill "$janela"
wait "$janela" || true
echo "package: checks passed"
