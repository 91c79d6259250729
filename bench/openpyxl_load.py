#!/usr/bin/env python3
"""Loads workbooks with openpyxl and touches every cell value: the peer the runner compares our
load with. Usage: openpyxl_load.py normal|readonly FILE...  Prints "cells=N" (non-empty values)."""

import sys
import warnings

import openpyxl


def count_cells(path, read_only):
    book = openpyxl.load_workbook(path, read_only=read_only, data_only=True)
    cells = 0
    for sheet in book.worksheets:
        for row in sheet.iter_rows(values_only=True):
            for value in row:
                if value is not None:
                    cells += 1
    if read_only:
        book.close()
    return cells


def main():
    if len(sys.argv) < 3 or sys.argv[1] not in ("normal", "readonly"):
        print(__doc__, file=sys.stderr)
        return 2
    warnings.simplefilter("ignore")
    read_only = sys.argv[1] == "readonly"
    total = sum(count_cells(path, read_only) for path in sys.argv[2:])
    print(f"cells={total}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
