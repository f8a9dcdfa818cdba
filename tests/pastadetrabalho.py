#!/usr/bin/env python3
"""Reads a report workbook back with the standard library alone.

  pastadetrabalho.py celulas FILE       every cell as sheet!ref, type, value, format,
                                        b for bold; column widths; each chart's series
  pastadetrabalho.py texto SHEET FILE   the sheet's rows as the text report spells them
"""
import datetime
import re
import sys
import zipfile
import xml.etree.ElementTree as ET

NS = {'m': 'http://schemas.openxmlformats.org/spreadsheetml/2006/main',
      'c': 'http://schemas.openxmlformats.org/drawingml/2006/chart'}
REL = '{http://schemas.openxmlformats.org/officeDocument/2006/relationships}id'
BUILTIN = {0: '', 2: '0.00', 9: '0%', 10: '0.00%'}


def parte(z, nome):
    return ET.fromstring(z.read(nome))


def alvos(z, nome):
    """The targets of a part's relationships, by id, as paths in the zip."""
    pasta, arquivo = nome.rsplit('/', 1)
    rels = parte(z, f'{pasta}/_rels/{arquivo}.rels')
    caminho = lambda t: re.sub(r'[^/]+/\.\./', '', f'{pasta}/{t}')
    return {r.get('Id'): caminho(r.get('Target')) for r in rels}


def ler(arquivo):
    """Sheets in order: (name, cells {ref: (type, value, format, bold)}, widths, charts)."""
    z = zipfile.ZipFile(arquivo)
    estilos = parte(z, 'xl/styles.xml')
    codigos = {int(f.get('numFmtId')): f.get('formatCode') for f in estilos.iter(f'{{{NS["m"]}}}numFmt')}
    fontes = [f.find('m:b', NS) is not None for f in estilos.find('m:fonts', NS)]
    xfs = [(codigos.get(int(x.get('numFmtId')), BUILTIN.get(int(x.get('numFmtId')))),
            fontes[int(x.get('fontId'))]) for x in estilos.find('m:cellXfs', NS)]
    rels = alvos(z, 'xl/workbook.xml')
    for folha in parte(z, 'xl/workbook.xml').find('m:sheets', NS):
        nome_parte = rels[folha.get(REL)]
        xml = parte(z, nome_parte)
        celulas = {}
        for c in xml.iter(f'{{{NS["m"]}}}c'):
            formato, negrito = xfs[int(c.get('s', 0))]
            if c.get('t') == 'inlineStr':
                celulas[c.get('r')] = ('s', ''.join(c.find('m:is', NS).itertext()), formato, negrito)
            else:
                celulas[c.get('r')] = (c.get('t', 'n'), c.find('m:v', NS).text, formato, negrito)
        larguras = [(col.get('min'), col.get('max'), col.get('width')) for col in xml.iter(f'{{{NS["m"]}}}col')]
        graficos = []
        for desenho in xml.iter(f'{{{NS["m"]}}}drawing'):
            caminho = alvos(z, nome_parte)[desenho.get(REL)]
            for grafico in alvos(z, caminho).values():
                g = parte(z, grafico)
                tipo = ' '.join(e.get('val') for e in g.iter() if e.tag.endswith(('barDir', 'grouping')))
                series = [[f.text for f in s.iter(f'{{{NS["c"]}}}f')] for s in g.iter(f'{{{NS["c"]}}}ser')]
                graficos.append((tipo, series))
        yield folha.get('name'), celulas, larguras, graficos


def mostrar(tipo, valor, formato):
    """A cell as the text report writes it."""
    if tipo == 's':
        return valor
    numero = float(valor)
    segundos = round(numero * 86400)
    if formato == '[h]:mm:ss':
        return f'{segundos // 3600:02d}:{segundos // 60 % 60:02d}:{segundos % 60:02d}'
    if formato == 'dd/mm/yyyy':
        return (datetime.date(1899, 12, 30) + datetime.timedelta(days=numero)).strftime('%d/%m/%Y')
    if formato in ('hh:mm:ss', 'hh:mm'):
        return f'{segundos // 3600:02d}:{segundos // 60 % 60:02d}:{segundos % 60:02d}'[:len(formato)]
    return str(int(numero)) if numero == int(numero) else valor


def posicao(ref):
    letras, linha = re.match(r'([A-Z]+)(\d+)', ref).groups()
    coluna = 0
    for letra in letras:
        coluna = coluna * 26 + ord(letra) - 64
    return int(linha), coluna


if sys.argv[1] == 'celulas':
    for nome, celulas, larguras, graficos in ler(sys.argv[2]):
        for ref, (tipo, valor, formato, negrito) in sorted(celulas.items(), key=lambda c: posicao(c[0])):
            print(f'{nome}!{ref}\t{tipo}\t{valor}\t{formato}\t{"b" if negrito else ""}')
        for primeira, ultima, largura in larguras:
            print(f'{nome}!columns {primeira}:{ultima}\twidth\t{largura}')
        for tipo, series in graficos:
            print(f'{nome}!chart\t{tipo}')
            for s in series:
                print(f'{nome}!chart series\t' + '\t'.join(s))
else:
    for nome, celulas, _, _ in ler(sys.argv[3]):
        if nome != sys.argv[2]:
            continue
        linhas = {}
        for ref, (tipo, valor, formato, _) in celulas.items():
            linha, coluna = posicao(ref)
            linhas.setdefault(linha, {})[coluna] = mostrar(tipo, valor, formato)
        for linha in range(1, max(linhas, default=0) + 1):
            colunas = linhas.get(linha, {})
            sys.stdout.write('\t'.join(colunas.get(c, '') for c in range(1, max(colunas, default=0) + 1)) + '\r\n')
