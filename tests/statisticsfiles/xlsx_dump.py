#!/usr/bin/env python3
"""Prints an .xlsx workbook of 体检统计 as JSON, read with openpyxl alone:
{"统计": {row title: {column: [分子, 分母, 比例]}}, "定义": {row title: [定义, 来源]},
 "numbers": whether every figure is stored as a number}.
Usage: xlsx_dump.py FILE.xlsx"""
import json
import sys

import openpyxl

book = openpyxl.load_workbook(sys.argv[1])
table = book["统计"]
rows = list(table.iter_rows(values_only=True))
header = next(i for i, row in enumerate(rows) if row[0] == "项目")
groups = rows[header]
columns = {}
for index, value in enumerate(groups):
    if index > 0 and value:
        columns[value] = index
numbers = True
counts = {}
for row in rows[header + 2:]:
    if not row or row[0] is None:
        continue
    cells = {}
    for name, index in columns.items():
        width = 1 if name == "未检" else 3
        figures = list(row[index:index + width])
        for figure in figures:
            numbers = numbers and (figure is None or isinstance(figure, (int, float)))
        cells[name] = figures
    counts[row[0]] = cells
definitions = {}
for row in book["定义"].iter_rows(min_row=2, values_only=True):
    definitions[row[0]] = [row[1], row[2]]
print(json.dumps({"统计": counts, "定义": definitions, "numbers": numbers}, ensure_ascii=False))
