#!/usr/bin/env python3
# Reads a report workbook back with the standard library alone. "celulas FILE": each cell as
# sheet!ref, type, value, format, b if bold; column widths; each chart's kind and series ranges.
# "texto SHEET FILE": the sheet's rows as the text report spells them.
import datetime
import re
import sys
import zipfile
import xml.etree.ElementTree as ET

M = '{http://schemas.openxmlformats.org/spreadsheetml/2006/main}'
C = '{http://schemas.openxmlformats.org/drawingml/2006/chart}'
R = '{http://schemas.openxmlformats.org/officeDocument/2006/relationships}id'


def posicao(ref):
    letras, linha = re.match(r'([A-Z]+)(\d+)', ref).groups()
    return int(linha), sum(26 ** i * (ord(l) - 64) for i, l in enumerate(reversed(letras)))


def folhas(arquivo):
    """(name, {ref: (type, value, format, bold)}, widths) of each sheet, in order."""
    z = zipfile.ZipFile(arquivo)
    estilos = ET.fromstring(z.read('xl/styles.xml'))
    codigos = {f.get('numFmtId'): f.get('formatCode') for f in estilos.iter(M + 'numFmt')}
    negrito = [f.find(M + 'b') is not None for f in estilos.find(M + 'fonts')]
    xfs = [(codigos.get(x.get('numFmtId'), ''), negrito[int(x.get('fontId'))])
           for x in estilos.find(M + 'cellXfs')]
    rels = ET.fromstring(z.read('xl/_rels/workbook.xml.rels'))
    rels = {r.get('Id'): r.get('Target') for r in rels}
    for folha in ET.fromstring(z.read('xl/workbook.xml')).iter(M + 'sheet'):
        xml = ET.fromstring(z.read('xl/' + rels[folha.get(R)]))
        celulas = {c.get('r'): (c.get('t', 'n').replace('inlineStr', 's'), ''.join(c.itertext()))
                   + xfs[int(c.get('s', 0))] for c in xml.iter(M + 'c')}
        larguras = [(c.get('min'), c.get('max'), c.get('width')) for c in xml.iter(M + 'col')]
        yield folha.get('name'), celulas, larguras
    for nome in sorted(n for n in z.namelist() if n.startswith('xl/charts/')):
        g = ET.fromstring(z.read(nome))
        tipo = ' '.join(e.get('val') for e in g.iter() if e.tag in (C + 'barDir', C + 'grouping'))
        yield 'chart', tipo, [[f.text for f in s.iter(C + 'f')] for s in g.iter(C + 'ser')]


def mostrar(tipo, valor, formato):
    """A cell as the text report writes it."""
    if tipo == 's':
        return valor
    numero = float(valor)
    s = round(numero * 86400)
    if formato == 'dd/mm/yyyy':
        return (datetime.date(1899, 12, 30) + datetime.timedelta(days=numero)).strftime('%d/%m/%Y')
    horas = f'{s // 3600:02d}:{s // 60 % 60:02d}:{s % 60:02d}'
    if formato == '[h]:mm:ss':
        return horas
    if formato in ('hh:mm:ss', 'hh:mm'):
        return horas[:len(formato)]
    return str(int(numero)) if numero == int(numero) else valor


if sys.argv[1] == 'celulas':
    for nome, celulas, larguras in folhas(sys.argv[2]):
        if nome == 'chart':
            print(f'chart\t{celulas}')
            for serie in larguras:
                print('chart series\t' + '\t'.join(serie))
            continue
        for ref, celula in sorted(celulas.items(), key=lambda c: posicao(c[0])):
            print(f'{nome}!{ref}\t' + '\t'.join(celula[:3]) + ('\tb' if celula[3] else '\t'))
        for primeira, ultima, largura in larguras:
            print(f'{nome}!columns {primeira}:{ultima}\twidth\t{largura}')
else:
    celulas = next(c for nome, c, _ in folhas(sys.argv[3]) if nome == sys.argv[2])
    linhas = {}
    for ref, (tipo, valor, formato, _) in celulas.items():
        linha, coluna = posicao(ref)
        linhas.setdefault(linha, {})[coluna] = mostrar(tipo, valor, formato)
    for linha in range(1, max(linhas) + 1):
        colunas = linhas.get(linha, {})
        ultima = max(colunas, default=0)
        print('\t'.join(colunas.get(c, '') for c in range(1, ultima + 1)), end='\r\n')
