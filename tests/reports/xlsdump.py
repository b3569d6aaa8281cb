"""Prints what an independent reader (xlrd) sees in an .xls file, as JSON, for the tests to compare."""
import json
import sys

import xlrd


def font_of(book, xf_index):
    return book.xf_list[xf_index].font_index


def main(path):
    book = xlrd.open_workbook(path, formatting_info=True, ragged_rows=True)
    fonts = [{"name": f.name, "points": f.height / 20.0, "bold": bool(f.bold)} for f in book.font_list]
    sheets = []
    for sheet in book.sheets():
        cells = {}
        for r in range(sheet.nrows):
            for c in range(sheet.row_len(r)):
                cell = sheet.cell(r, c)
                if cell.ctype in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK):
                    continue
                kind = {xlrd.XL_CELL_TEXT: "text", xlrd.XL_CELL_NUMBER: "number"}.get(cell.ctype, str(cell.ctype))
                cells["%d,%d" % (r, c)] = {"kind": kind, "value": cell.value, "font": font_of(book, cell.xf_index)}
        rows = {}
        for r, info in sheet.rowinfo_map.items():
            rows[str(r)] = {
                "twips": info.height,
                "custom": bool(info.height_mismatch),
                "font": font_of(book, info.xf_index) if info.has_default_xf_index else -1,
            }
        columns = {str(c): info.width for c, info in sheet.colinfo_map.items()}
        sheets.append({"name": sheet.name, "nrows": sheet.nrows, "ncols": sheet.ncols,
                       "cells": cells, "rows": rows, "columns": columns})
    json.dump({"fonts": fonts, "sheets": sheets}, sys.stdout, ensure_ascii=False)


if __name__ == "__main__":
    main(sys.argv[1])
