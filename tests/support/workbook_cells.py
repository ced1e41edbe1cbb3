#!/usr/bin/python3
"""Prints a workbook as KEY<TAB>VALUE lines for workbook_test: "sheets" (names in order, joined
by |), "count SHEET" (cells), "SHEET ROW COL" ("n" and Python's shortest text of the number,
or "s" and the text), "scales" (each colour scale) and "charts" (texts, colours, ranges)."""
import re
import sys
import zipfile

import openpyxl

book = openpyxl.load_workbook(sys.argv[1])
print("sheets", "|".join(book.sheetnames), sep="\t")
scales = []
for sheet in book.worksheets:
    cells = [c for row in sheet.iter_rows() for c in row if c.value is not None]
    print(f"count {sheet.title}", len(cells), sep="\t")
    for c in cells:
        text = f"s {c.value}" if isinstance(c.value, str) else f"n {float(c.value)!r}"
        print(f"{sheet.title} {c.row} {c.column}", text, sep="\t")
    for formats in sheet.conditional_formatting:
        for rule in formats.rules:
            scale = rule.colorScale
            scales.append(" ".join([sheet.title, str(formats.sqref), rule.type]
                                   + [f"{v.type}:{v.val}" for v in scale.cfvo] + [c.rgb for c in scale.color]))
print("scales", "|".join(scales), sep="\t")
with zipfile.ZipFile(sys.argv[1]) as archive:
    charts = [archive.read(n).decode() for n in sorted(archive.namelist()) if n.startswith("xl/charts/")]
pattern = r"<a:t>[^<]*</a:t>|<a:srgbClr val=\"\w+\"|<c:f>[^<]*</c:f>|<c:legend>|<c:barChart>"
print("charts", "|".join(" ".join(re.findall(pattern, xml)) for xml in charts), sep="\t")
