#!/usr/bin/python3
"""Prints what a workbook holds, one fact a line with TAB-separated fields, for workbook_test:
  sheet NAME                       in the workbook's order
  cell SHEET ROW COL KIND VALUE    KIND "n" (VALUE as Python's shortest round-trip text) or "s"
  scale SHEET RANGE CFVO... COLOURS   each colour scale
  chart PART TEXT...               the texts, colours and ranges in each chart, in order
"""
import re
import sys
import zipfile

import openpyxl

path = sys.argv[1]
book = openpyxl.load_workbook(path)
for sheet in book.worksheets:
    print("sheet", sheet.title, sep="\t")
for sheet in book.worksheets:
    for row in sheet.iter_rows():
        for cell in row:
            v = cell.value
            if v is None:
                continue
            kind = "s" if isinstance(v, str) else "n"
            print("cell", sheet.title, cell.row, cell.column, kind,
                  v if kind == "s" else repr(float(v)), sep="\t")
    for formats in sheet.conditional_formatting:
        for rule in formats.rules:
            scale = rule.colorScale
            print("scale", sheet.title, formats.sqref, rule.type,
                  " ".join(f"{c.type}:{c.val}" for c in scale.cfvo),
                  " ".join(c.rgb for c in scale.color), sep="\t")
with zipfile.ZipFile(path) as archive:
    for name in sorted(archive.namelist()):
        if name.startswith("xl/charts/"):
            xml = archive.read(name).decode()
            facts = re.findall(r"<a:t>[^<]*</a:t>|<a:srgbClr val=\"\w+\"|<c:f>[^<]*</c:f>|<c:legend>"
                               r"|<c:barChart>", xml)
            print("chart", name, *facts, sep="\t")
