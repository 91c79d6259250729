#!/usr/bin/python3
"""Runs the workbook-scan benchmark and prints the figures side by side.

  run_scan_bench.py BUILD_DIR [WORK_DIR]

Generates (once) 300 workbooks of 3-5 sheets and two single-sheet workbooks of 1,000 and 300,000
rows into WORK_DIR (default /tmp/tabulyx-scan-bench; never inside the repository), then times in
one run: reading the files' bytes, our first (cold) and second (cached) scan, openpyxl's
read-only mode and the two Python floor scripts reading the same metadata."""

import glob
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


def run(cmd):
    out = subprocess.run(cmd, check=True, capture_output=True, text=True).stdout
    return {line.split()[0]: line.split()[1:] for line in out.splitlines() if line.strip()}


def main():
    if len(sys.argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    build = sys.argv[1]
    work = sys.argv[2] if len(sys.argv) > 2 else '/tmp/tabulyx-scan-bench'
    books = os.path.join(work, 'books')
    gen = os.path.join(build, 'bin', 'scan_workload')
    bench = os.path.join(build, 'bin', 'scan_bench')
    if not glob.glob(os.path.join(books, '*.xlsx')):
        os.makedirs(books, exist_ok=True)
        subprocess.run([gen, 'books', books], check=True)
    for rows in (1000, 300000):
        tall = os.path.join(work, f'tall{rows}.xlsx')
        if not os.path.exists(tall):
            subprocess.run([gen, 'tall', tall, str(rows)], check=True)
    files = sorted(glob.glob(os.path.join(books, '*.xlsx')))

    ours = run([bench, 'books', books])
    peers = {}
    for mode in ('floor-prefix', 'floor-header', 'openpyxl'):
        peers[mode] = float(run(['/usr/bin/python3', os.path.join(HERE, 'scan_peers.py'), mode] + files)[mode][0])
    tall = {rows: float(run([bench, 'tall', os.path.join(work, f'tall{rows}.xlsx'), '200'])['reader_tall'][0]) / 200
            for rows in (1000, 300000)}

    n = len(files)
    cold = float(ours['scan_cold'][0])
    warm = float(ours['scan_warm'][0])
    print(f'workload: {n} workbooks, {ours["sheets"][0]} sheets, {int(ours["books"][2]) / 1e6:.1f} MB')
    print(f'{"task":34} {"seconds":>9} {"per book":>12}')
    rows = [('read the bytes (floor)', float(ours['bytes_floor'][0])),
            ('our scan, cold (fast reader)', cold),
            ('our scan, warm (cache)', warm),
            ('our reader alone', float(ours['reader_only'][0])),
            ('python floor: 1 MiB prefix', peers['floor-prefix']),
            ('python floor: stop at header', peers['floor-header']),
            ('openpyxl read-only', peers['openpyxl'])]
    for name, secs in rows:
        print(f'{name:34} {secs:9.4f} {secs * 1e6 / n:10.1f}us')
    print(f'cold vs openpyxl read-only: {peers["openpyxl"] / cold:.1f}x faster (bar 20x)')
    print(f'cold vs stop-at-header floor: {peers["floor-header"] / cold:.1f}x faster (bar 3x)')
    print(f'warm per workbook: {warm * 1e6 / n:.1f} us (bar 50 us)')
    print(f'reader on one sheet of 1,000 rows: {tall[1000] * 1e6:.0f} us; of 300,000 rows: {tall[300000] * 1e6:.0f} us')
    print(f'peak RSS of the C++ runner: {int(ours["peak_rss_kb"][0]) / 1024:.1f} MiB')
    return 0


if __name__ == '__main__':
    sys.exit(main())
