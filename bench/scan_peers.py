#!/usr/bin/python3
"""The peers of the workbook-scan benchmark, each reading the same metadata of every workbook:
sheet names, states, the stored dimension and the header row's stored values.

  scan_peers.py openpyxl FILE...      openpyxl read-only mode (Debian python3-openpyxl)
  scan_peers.py floor-prefix FILE...  open the package, inflate the first 1 MiB of every
                                      worksheet part and search it as text
  scan_peers.py floor-header FILE...  the same, inflating in 16 KiB steps and stopping as soon
                                      as the header row has closed; the shared-string table is
                                      read only as far as the header needs

Prints "name seconds sheets" (time measured inside the script, interpreter start excluded;
the floors the best of three runs)."""

import re
import sys
import time
import warnings
import zipfile

SHEET_RE = re.compile(rb'<sheet\s[^>]*>')
ATTR_RE = {k: re.compile(rb'\s' + k + rb'="([^"]*)"') for k in (b'name', b'state', b'r:id', b'Id', b'Target', b'Type')}
REL_RE = re.compile(rb'<Relationship\s[^>]*>')
DIM_RE = re.compile(rb'<dimension[^>]*\sref="([^"]*)"')
CELL_RE = re.compile(rb'<c\s([^>]*?)(/>|>(.*?)</c>)', re.S)
V_RE = re.compile(rb'<v>(.*?)</v>', re.S)
SI_RE = re.compile(rb'<si>(.*?)</si>', re.S)
T_RE = re.compile(rb'<t[^>]*>(.*?)</t>', re.S)


def attr(tag, name):
    m = ATTR_RE[name].search(tag)
    return m.group(1) if m else b''


def sheet_targets(z, names):
    wb = z.read(names['xl/workbook.xml'])
    rels = z.read(names['xl/_rels/workbook.xml.rels'])
    targets = {}
    for tag in REL_RE.findall(rels):
        if b'worksheet' in attr(tag, b'Type'):
            targets[attr(tag, b'Id')] = attr(tag, b'Target')
    out = []
    for tag in SHEET_RE.findall(wb):
        target = targets.get(attr(tag, b'r:id'))
        if target is not None:
            target = target[1:] if target.startswith(b'/') else b'xl/' + target
        out.append((attr(tag, b'name'), attr(tag, b'state'), target))
    return out


def header_cells(text):
    start = text.find(b'<row ')
    end = text.find(b'</row>', start)
    if start < 0 or end < 0:
        return []
    cells = []
    for attrs, _, content in CELL_RE.findall(text[start:end]):
        v = V_RE.search(content or b'')
        cells.append((b't="s"' in attrs, v.group(1) if v else b''))
    return cells


def resolve(cells, strings):
    return [strings[int(v)] if shared and int(v) < len(strings) else v for shared, v in cells]


def floor(path, stop_at_header):
    z = zipfile.ZipFile(path)
    names = {n.lower(): n for n in z.namelist()}
    result = []
    pending = []
    for name, state, target in sheet_targets(z, names):
        if target is None or target.decode().lower() not in names:
            result.append((name, state, None, []))
            continue
        with z.open(names[target.decode().lower()]) as f:
            if stop_at_header:
                buf = b''
                while len(buf) < 1 << 20:
                    chunk = f.read(16384)
                    buf += chunk
                    data = buf.find(b'<sheetData')
                    if not chunk or (data >= 0 and buf.find(b'</row>', data) >= 0):
                        break
                text = buf[:1 << 20]
            else:
                text = f.read(1 << 20)
        dim = DIM_RE.search(text)
        cells = header_cells(text)
        pending.extend(int(v) for shared, v in cells if shared)
        result.append((name, state, dim.group(1) if dim else None, cells))
    strings = []
    if pending and 'xl/sharedstrings.xml' in names:
        if stop_at_header:
            need = max(pending)
            with z.open(names['xl/sharedstrings.xml']) as f:
                buf = b''
                while True:
                    chunk = f.read(16384)
                    buf += chunk
                    if not chunk or buf.count(b'</si>') > need:
                        break
        else:
            buf = z.read(names['xl/sharedstrings.xml'])
        strings = [b''.join(T_RE.findall(si)) for si in SI_RE.findall(buf)]
    return [(n, s, d, resolve(c, strings)) for n, s, d, c in result]


def openpyxl_meta(path):
    import openpyxl
    book = openpyxl.load_workbook(path, read_only=True, data_only=True)
    result = []
    for ws in book.worksheets:
        header = next(ws.iter_rows(min_row=1, max_row=1, values_only=True), ())
        result.append((ws.title, ws.sheet_state, ws.calculate_dimension(), header))
    book.close()
    return result


def main():
    if len(sys.argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    warnings.simplefilter('ignore')
    mode, files = sys.argv[1], sys.argv[2:]
    run = {'openpyxl': openpyxl_meta,
           'floor-prefix': lambda p: floor(p, False),
           'floor-header': lambda p: floor(p, True)}[mode]
    if mode == 'openpyxl':
        import openpyxl  # noqa: F401  (import time is not the peer's reading time)
    # The floors take the best of three runs, as the C++ timer does; openpyxl is run once (it is
    # far behind, and three runs would take minutes).
    best = None
    for _ in range(1 if mode == 'openpyxl' else 3):
        start = time.perf_counter()
        sheets = sum(len(run(p)) for p in files)
        elapsed = time.perf_counter() - start
        best = elapsed if best is None else min(best, elapsed)
    print(f'{mode} {best:.6f} {sheets}')
    return 0


if __name__ == '__main__':
    sys.exit(main())
