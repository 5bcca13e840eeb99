#!/usr/bin/env python3
"""Reads an .xls workbook with xlrd and prints what the tests compare, as JSON:
per sheet its name, every cell as text with its kind (s text, n number,
e empty), the column widths, and the fonts of the header row and of the body.
Numbers are written back in their shortest form (45.0 -> "45")."""
import json
import sys

import xlrd


def font_of(book, sheet, row, col):
    font = book.font_list[book.xf_list[sheet.cell_xf_index(row, col)].font_index]
    return {"bold": bool(font.bold), "height": font.height, "name": font.name}


def cell_text(cell):
    if cell.ctype == xlrd.XL_CELL_NUMBER:
        value = cell.value
        return ("n", str(int(value)) if value == int(value) else repr(value))
    if cell.ctype == xlrd.XL_CELL_TEXT:
        return ("s", cell.value)
    if cell.ctype in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK):
        return ("e", "")
    return ("?", str(cell.value))


def main():
    book = xlrd.open_workbook(sys.argv[1], formatting_info=True, on_demand=False)
    sheets = []
    for sheet in book.sheets():
        rows, kinds = [], []
        for r in range(sheet.nrows):
            pairs = [cell_text(sheet.cell(r, c)) for c in range(sheet.ncols)]
            kinds.append("".join(k for k, _ in pairs))
            rows.append([t for _, t in pairs])
        sheets.append({
            "name": sheet.name,
            "rows": rows,
            "kinds": kinds,
            "widths": [sheet.colinfo_map[c].width if c in sheet.colinfo_map else -1
                       for c in range(sheet.ncols)],
            "header": [font_of(book, sheet, 0, c) for c in range(sheet.ncols)] if sheet.nrows else [],
            "body": font_of(book, sheet, 1, 0) if sheet.nrows > 1 else None,
        })
    json.dump({"sheets": sheets}, sys.stdout, ensure_ascii=False)


if __name__ == "__main__":
    main()
