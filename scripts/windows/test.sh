#!/usr/bin/env bash
# The Windows build tested here under Wine, against the throwaway PostgreSQL of
# scripts/with-test-db.sh on 127.0.0.1:
#   1. the platform-neutral test executables (tst_db, tst_model, tst_report);
#   2. relatorio-cli.exe writes exactly the bytes build/relatorio-cli writes,
#      for the worked example in both modes and a month of generated data, and
#      keeps the exit statuses 0, 1 and 2;
#   3. RelatorioGerador's window, under Xvfb: it starts, connects (LED lit) and
#      writes a report from its button (bench/gui-stall drives it), and
#      scripts/screenshots renders it into build-windows/screenshots/ (and
#      docs/screenshots/windows-*.png with QUORBEL_SCREENSHOTS=1).
# Both builds run in the host's time zone, which Wine takes from /etc/localtime.
# The programs run from the package's folder (scripts/windows/package.sh), with
# nothing else on Wine's path, so a DLL or plugin the package lacks shows here.
# Needs a Linux build in build/.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
. scripts/windows/versions.sh
if [ -z "${QUORBEL_TEST_PORT:-}" ]; then
    exec scripts/with-test-db.sh "$0" "$@"
fi

windows() { # a Linux path as Wine sees it
    printf 'Z:%s' "$(realpath "$1" | tr / '\\')"
}
export WINEPREFIX=${QUORBEL_WINEPREFIX:-$QUORBEL_MINGW_PREFIX/wine}
export WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all WINEARCH=win64
runtime=/usr/lib/gcc/$QUORBEL_MINGW_TRIPLET/12-posix
export WINEPATH="$(windows "$QUORBEL_MINGW_PREFIX/bin");$(windows "$QUORBEL_MINGW_PREFIX/lib");$(windows "$runtime");$(windows "/usr/$QUORBEL_MINGW_TRIPLET/lib")"
export QT_PLUGIN_PATH=$(windows "$QUORBEL_MINGW_PREFIX/plugins")
if [ ! -d "$WINEPREFIX" ]; then
    echo "windows: creating the Wine prefix $WINEPREFIX"
    wineboot --init >/dev/null 2>&1
fi
build=build-windows
work=$(mktemp -d /tmp/quorbel-windows.XXXXXX)
trap 'rm -rf "$work"' EXIT
scripts/windows/package.sh >/dev/null
# The package's folder, and the two probes beside its programs.
cp -r dist/windows/RelatorioGerador "$work/pacote"
cp "$build/bench/gui-stall.exe" "$build/screenshots.exe" "$work/pacote/"
pacote=$work/pacote
failed=0
check() { # NAME COMMAND...: one line per check, "ok" or "FAILED"
    local name=$1
    shift
    if "$@" >"$work/out" 2>&1; then
        echo "windows: ok      $name"
    else
        echo "windows: FAILED  $name"
        sed 's/^/    /' "$work/out" | tail -20
        failed=$((failed + 1))
    fi
}

echo "windows: 1. test executables under Wine"
check "ctest (tst_db, tst_model, tst_report)" \
    ctest --test-dir "$build" --output-on-failure
# From here on, only what the package holds.
export WINEPATH=""
unset QT_PLUGIN_PATH

echo "windows: 2. relatorio-cli.exe against the Linux build"
export PGPASSWORD=tarnek
owner="user=quorbel dbname=BDQuorbel hostaddr=127.0.0.1 port=$QUORBEL_TEST_PORT"
semear() { # SQL file [psql variables]: the tables emptied, then filled from the file
    psql -X -q "$owner" -c "truncate treino, numero_classificacao_treino, funcionario, sessao, evento_muda restart identity"
    psql -X -q -v ON_ERROR_STOP=1 "${@:2}" "$owner" -f "$1" >/dev/null
}
semear tests/data/exemplo.sql
same_bytes() { # INICIO FIM [OPTION]
    rm -rf "$work/linux" "$work/windows"
    mkdir -p "$work/linux" "$work/windows"
    build/relatorio-cli --inicio "$1" --fim "$2" --diretorio "$work/linux" --endereco 127.0.0.1 \
        --porta "$QUORBEL_TEST_PORT" "${@:3}" >/dev/null 2>&1
    wine "$pacote/relatorio-cli.exe" --inicio "$1" --fim "$2" --diretorio "$(windows "$work/windows")" \
        --endereco 127.0.0.1 --porta "$QUORBEL_TEST_PORT" "${@:3}" >/dev/null 2>&1
    local file
    file=$(cd "$work/linux" && ls)
    [ -n "$file" ] && ls -A "$work/windows" | grep -qx "$file" || return 1
    case $file in
        # A workbook is a zip stamped with the time it was written: every
        # part must be the same but the one that holds that time.
        *.xlsx) python3 - "$work/linux/$file" "$work/windows/$file" <<'PY' ;;
import sys, zipfile
a, b = (zipfile.ZipFile(f) for f in sys.argv[1:])
names = sorted(a.namelist())
assert names == sorted(b.namelist()), (names, b.namelist())
for name in names:
    if name != "docProps/core.xml":
        assert a.read(name) == b.read(name), name
PY
        *) cmp "$work/linux/$file" "$work/windows/$file" ;;
    esac
}
check "worked example, whole period: same bytes" same_bytes "2015-03-01 08:00" "2015-03-02 18:00"
check "worked example, separated sessions: same bytes" \
    same_bytes "2015-03-01 08:00" "2015-03-02 18:00" --separar-sessoes
semear scripts/demo-data.sql -v inicio=2016-01-04 -v dias=31 -v variedades=3 -v funcionarios=6 \
    -v turnos=2 -v operadores=2 -v por_hora=200 -v fuso=UTC
check "a month of generated data, separated sessions: same bytes" \
    same_bytes "2016-01-04 00:00" "2016-02-03 23:59:59" --separar-sessoes
check "a month of generated data, workbook: the same parts" \
    same_bytes "2016-01-04 00:00" "2016-02-03 23:59:59" --formato xlsx
status_is() { # STATUS ARGUMENTS...
    local expected=$1 status=0
    shift
    wine "$pacote/relatorio-cli.exe" "$@" >/dev/null 2>&1 || status=$?
    [ "$status" = "$expected" ] || { echo "exit status $status, not $expected"; return 1; }
}
semear tests/data/exemplo.sql
acentos() { # a folder whose name Windows' narrow file calls cannot spell, both formats
    local pasta="$work/Relatórios" formato
    mkdir -p "$pasta"
    for formato in xls xlsx; do
        LC_ALL=C.UTF-8 wine "$pacote/relatorio-cli.exe" --inicio "2015-03-01 08:00" \
            --fim "2015-03-02 18:00" --diretorio "$(windows "$pasta")" --endereco 127.0.0.1 \
            --porta "$QUORBEL_TEST_PORT" --formato "$formato" || return 1
    done
    [ "$(ls -A "$pasta" | wc -l)" = 2 ]
}
check "a folder with an accent (Relatórios), text and workbook" acentos
check "exit status 0: report written" status_is 0 --inicio "2015-03-01 08:00" \
    --fim "2015-03-02 18:00" --diretorio "$(windows "$work")" --endereco 127.0.0.1 --porta "$QUORBEL_TEST_PORT"
check "exit status 1: nothing listening" status_is 1 --inicio "2015-03-01 08:00" \
    --fim "2015-03-02 18:00" --diretorio "$(windows "$work")" --endereco 127.0.0.1 --porta 1
check "exit status 1: directory missing" status_is 1 --inicio "2015-03-01 08:00" \
    --fim "2015-03-02 18:00" --diretorio 'C:\nao-existe' --endereco 127.0.0.1 --porta "$QUORBEL_TEST_PORT"
check "exit status 2: bad date" status_is 2 --inicio "2015-02-30 08:00" --fim "2015-03-02 18:00"

instalado() { # the installer, silent and per user: installed, runs, uninstalled
    local pasta="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Local/Programs/RelatorioGerador"
    local atalho="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Gerador de Relatórios.lnk"
    wine dist/RelatorioGerador-*-instalador.exe /S
    [ -f "$atalho" ] && wine "$pasta/relatorio-cli.exe" --version | grep -q '^relatorio-cli ' \
        && wine "$pasta/Desinstalar.exe" /S && sleep 2 && [ ! -e "$pasta" ] && [ ! -e "$atalho" ]
}
check "the installer: Start-menu shortcut, program runs, uninstaller removes both" instalado

echo "windows: 3. the window under Xvfb"
Xvfb :78 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT
sleep 1
export DISPLAY=:78
key='HKCU\Software\Quorbel\RelatorioGerador'
wine reg add "$key" /v BD_ADDR /d 127.0.0.1 /f >/dev/null 2>&1
wine reg add "$key" /v 5432 /d "$QUORBEL_TEST_PORT" /f >/dev/null 2>&1
wine reg add "$key" /v DIRETORIO /d "$(windows "$work")" /f >/dev/null 2>&1
check "RelatorioGerador: connects and writes a report from its button" \
    wine "$pacote/gui-stall.exe" windows "2015-03-01 08:00" "2015-03-02 18:00" 0 "$(windows "$work")"
check "RelatorioGerador: screenshots" \
    wine "$pacote/screenshots.exe" "$(windows "$work/shots")"
# Kept in the build; QUORBEL_SCREENSHOTS=1 puts them into docs/screenshots/.
mkdir -p "$build/screenshots"
for shot in janela-principal opcoes sobre; do
    [ -f "$work/shots/$shot.png" ] || continue
    cp "$work/shots/$shot.png" "$build/screenshots/windows-$shot.png"
    if [ "${QUORBEL_SCREENSHOTS:-0}" = 1 ]; then
        cp "$work/shots/$shot.png" "docs/screenshots/windows-$shot.png"
    fi
done

echo "windows: $failed failed"
[ "$failed" = 0 ]
