"""Writes the workbook of a recorded tape (the libxlsxwriter calls of our writer, as JSON) with
openpyxl: the same cells, formats, merges, widths, heights and page setup. Times the building
and saving of the workbook alone, not the interpreter's start nor the reading of the tape.

    /usr/bin/python3 openpyxl_replay.py TAPE.json OUT.xlsx RUNS WARMUPS

Prints the medians in milliseconds of the wall clock and of the process's CPU time.
"""
import json
import statistics
import sys
import time

from openpyxl import Workbook
from openpyxl.styles import Alignment, Border, Font, Side
from openpyxl.utils import get_column_letter
from openpyxl.worksheet.properties import PageSetupProperties

# libxlsxwriter's alignment codes.
H_ALIGN = {1: "left", 2: "center", 3: "right", 4: "fill", 5: "justify", 6: "centerContinuous",
           7: "distributed"}
V_ALIGN = {8: "top", 9: "bottom", 10: "center", 11: "justify", 12: "distributed"}
BUILTIN_NUM = {14: "mm-dd-yy"}


class Style:
    def __init__(self):
        self.font = {}
        self.align = {}
        self.border = {}
        self.number = None
        self.built = None

    def build(self):
        if self.built is None:
            thin = Side(style="thin")
            self.built = (
                Font(name=self.font.get("name", "Calibri"), sz=self.font.get("size", 11),
                     b=self.font.get("bold", False)),
                Alignment(**self.align),
                Border(**{k: thin for k in self.border}),
                self.number or "General",
            )
        return self.built


def apply(target, style):
    font, align, border, number = style.build()
    target.font = font
    target.alignment = align
    target.border = border
    target.number_format = number


def write(ops, path):
    styles = []
    wb = None
    ws = {}
    for op in ops:
        kind, idx, fmt, a, b, c, d, x, y, z, w, s = op
        st = styles[fmt] if fmt >= 0 else None
        if kind == "new_workbook":
            wb = Workbook()
            wb.remove(wb.active)
        elif kind == "add_format":
            styles.append(Style())
        elif kind == "font_name":
            styles[idx].font["name"] = s
        elif kind == "font_size":
            styles[idx].font["size"] = x
        elif kind == "bold":
            styles[idx].font["bold"] = True
        elif kind == "num_format":
            styles[idx].number = s
        elif kind == "num_format_index":
            styles[idx].number = BUILTIN_NUM.get(a, "General")
        elif kind == "align":
            if a in H_ALIGN:
                styles[idx].align["horizontal"] = H_ALIGN[a]
            elif a in V_ALIGN:
                styles[idx].align["vertical"] = V_ALIGN[a]
        elif kind == "wrap":
            styles[idx].align["wrap_text"] = True
        elif kind == "shrink":
            styles[idx].align["shrink_to_fit"] = True
        elif kind in ("left", "top", "right", "bottom"):
            styles[idx].border[kind] = True
        elif kind == "add_worksheet":
            ws[idx] = wb.create_sheet(s)
        elif kind == "set_column":
            dim = ws[idx].column_dimensions[get_column_letter(a + 1)]
            dim.min, dim.max = a + 1, b + 1
            dim.width = x
            if st:
                apply(dim, st)
        elif kind == "set_row":
            dim = ws[idx].row_dimensions[a + 1]
            dim.height = x
            if st:
                apply(dim, st)
        elif kind in ("blank", "number", "string", "formula"):
            cell = ws[idx].cell(row=a + 1, column=b + 1)
            if kind == "number":
                cell.value = x
            elif kind == "formula":
                # openpyxl keeps no result with a formula.
                cell.value = s
            elif kind == "string":
                cell.value = s
            if st:
                apply(cell, st)
        elif kind == "merge":
            sheet = ws[idx]
            sheet.merge_cells(start_row=a + 1, start_column=b + 1, end_row=c + 1,
                              end_column=d + 1)
            if st:
                for r in range(a + 1, c + 2):
                    for col in range(b + 1, d + 2):
                        apply(sheet.cell(row=r, column=col), st)
        elif kind == "print_area":
            ws[idx].print_area = "%s%d:%s%d" % (get_column_letter(b + 1), a + 1,
                                                get_column_letter(d + 1), c + 1)
        elif kind == "margins":
            m = ws[idx].page_margins
            if x >= 0:
                m.left = x
            if y >= 0:
                m.right = y
        elif kind == "gridlines":
            ws[idx].print_options.gridLines = True
        elif kind == "repeat_rows":
            ws[idx].print_title_rows = "%d:%d" % (a + 1, b + 1)
        elif kind == "selection":
            ref = "%s%d" % (get_column_letter(b + 1), a + 1)
            ws[idx].sheet_view.selection[0].activeCell = ref
            ws[idx].sheet_view.selection[0].sqref = ref
        elif kind == "paper":
            ws[idx].page_setup.paperSize = a
        elif kind == "landscape":
            ws[idx].page_setup.orientation = "landscape"
        elif kind == "fit_to_pages":
            ws[idx].sheet_properties.pageSetUpPr = PageSetupProperties(fitToPage=True)
            ws[idx].page_setup.fitToWidth = a
            ws[idx].page_setup.fitToHeight = b
        elif kind == "footer":
            ws[idx].oddFooter.center.text = s.replace("&C", "", 1)
        elif kind == "activate":
            wb.active = wb.worksheets.index(ws[idx])
        elif kind == "close":
            wb.save(path)


def main():
    tape, out, runs, warmups = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
    with open(tape, encoding="utf-8") as f:
        ops = json.load(f)["ops"]
    walls, cpus = [], []
    for i in range(warmups + runs):
        t = time.perf_counter()
        c = time.process_time()
        write(ops, out)
        if i >= warmups:
            cpus.append((time.process_time() - c) * 1000.0)
            walls.append((time.perf_counter() - t) * 1000.0)
    print("%.3f %.3f" % (statistics.median(walls), statistics.median(cpus)))


if __name__ == "__main__":
    main()
