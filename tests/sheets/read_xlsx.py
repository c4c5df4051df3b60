#!/usr/bin/python3
"""Reads an .xlsx file back with openpyxl and prints what the tests check, as JSON.

Usage: read_xlsx.py FILE [CELL ...]
Without cells, every stored cell of rows up to 40 is listed (a cell asked for also gives the
value kept with its formula, "cached"); a cell "rows:SHEET" gives the row
count of a sheet and "col:SHEET:A" the values of a column (for large sheets).
"""
import json
import sys

import openpyxl


def side(s):
    return s.style if s is not None and s.style else None


def cell_info(c):
    v = c.value
    kind = type(v).__name__
    if hasattr(v, "isoformat"):
        v = v.isoformat()
    f = c.font
    a = c.alignment
    b = c.border
    return {
        "value": v,
        "type": kind,
        "font": f.name,
        "size": f.sz,
        "bold": bool(f.b),
        "numfmt": c.number_format,
        "h": a.horizontal,
        "v": a.vertical,
        "wrap": bool(a.wrap_text),
        "shrink": bool(a.shrink_to_fit),
        "left": side(b.left),
        "right": side(b.right),
        "top": side(b.top),
        "bottom": side(b.bottom),
        "diagonal": side(b.diagonal),
    }


def area(a):
    # Some versions give the print area as a list of ranges, others as one text.
    if isinstance(a, (list, tuple)):
        return ",".join(a)
    return a


def sheet_info(ws):
    cols = {}
    for key, dim in ws.column_dimensions.items():
        for i in range(dim.min or 0, (dim.max or 0) + 1):
            if i < 1 or i > 30:
                continue
            letter = openpyxl.utils.get_column_letter(i)
            cols[letter] = {
                "width": dim.width if dim.customWidth else None,
                "font": dim.font.name if dim.style_id else None,
                "size": dim.font.sz if dim.style_id else None,
                "numfmt": dim.number_format if dim.style_id else None,
                "h": dim.alignment.horizontal if dim.style_id else None,
            }
    rows = {str(k): d.height for k, d in ws.row_dimensions.items() if d.height is not None}
    ps = ws.page_margins
    return {
        "name": ws.title,
        "max_row": ws.max_row,
        "max_col": ws.max_column,
        "merged": sorted(str(r) for r in ws.merged_cells.ranges),
        "columns": cols,
        "rows": rows,
        "print_area": area(ws.print_area),
        "print_titles": ws.print_title_rows,
        "margin_left": ps.left,
        "margin_right": ps.right,
        "print_gridlines": bool(ws.print_options.gridLines),
        "selection": ws.sheet_view.selection[0].activeCell if ws.sheet_view.selection else None,
        "fit_to_page": bool(ws.sheet_properties.pageSetUpPr and
                            ws.sheet_properties.pageSetUpPr.fitToPage),
        "fit_width": ws.page_setup.fitToWidth,
        "fit_height": ws.page_setup.fitToHeight,
        "orientation": ws.page_setup.orientation,
        "paper": ws.page_setup.paperSize,
        "footer": ws.oddFooter.center.text,
    }


def main():
    path = sys.argv[1]
    wanted = sys.argv[2:]
    wb = openpyxl.load_workbook(path)
    out = {
        "sheets": [ws.title for ws in wb.worksheets],
        "active": wb.active.title,
        "info": {ws.title: sheet_info(ws) for ws in wb.worksheets},
        "cells": {},
    }
    for ws in wb.worksheets:
        if not wanted:
            for row in ws.iter_rows(max_row=min(ws.max_row, 40)):
                for c in row:
                    if c.value is not None or c.has_style:
                        out["cells"][ws.title + "!" + c.coordinate] = cell_info(c)
    cached = None
    for w in wanted:
        if w.startswith("col:"):
            _, sheet, letter = w.split(":")
            ws = wb[sheet]
            out["cells"][w] = [
                (c.value.isoformat() if hasattr(c.value, "isoformat") else c.value)
                for c in ws[letter]
            ]
        else:
            sheet, ref = w.split("!")
            out["cells"][w] = cell_info(wb[sheet][ref])
            # The value the file keeps with a formula.
            if cached is None:
                cached = openpyxl.load_workbook(path, data_only=True)
            v = cached[sheet][ref].value
            out["cells"][w]["cached"] = v.isoformat() if hasattr(v, "isoformat") else v
    json.dump(out, sys.stdout, ensure_ascii=False)


main()
