#!/usr/bin/python3
# Writes a principal's price list as openpyxl writes it: a title with the date it is valid from
# (a date cell), merged over the columns, the header, Italian numbers as texts and as numbers,
# accents, an empty row in the middle, a repeated code, a price that is no number and a price
# computed by a formula.
#   make_list.py OUT.xlsx [ROWS]   (ROWS: that many plain articles instead, for timing)
#   make_list.py OUT.xlsx formulas (prices by functions, from another sheet, a date of today;
#                                   openpyxl stores no results: LibreOffice adds them)
#   make_list.py OUT.xlsx pezzi    (a list priced by the piece, with the pieces in a carton)
import datetime
import sys

import openpyxl

out = sys.argv[1]
wb = openpyxl.Workbook()
ws = wb.active
ws.title = "Listino 2027"
if len(sys.argv) > 2 and sys.argv[2] == "formulas":
    costs = wb.create_sheet("Costi")
    costs.append(["Voce", "Importo"])
    costs.append(["Trasporto", 7.25])
    ws.append(["Listino valido dal", "=TODAY()"])
    ws.append(["Codice", "Descrizione", "Peso", "Prezzo"])
    ws.append(["F001", "Arrotondato", 5, "=ROUND(10.456,2)"])
    ws.append(["F002", "Per eccesso", "=2*3", "=ROUNDUP(2.301,1)"])
    ws.append(["F003", "Da un altro foglio", 1, "=Costi!B2"])
    ws.append(["F004", "=UPPER(\"minuscolo\")", 2, "=IF(C6>1,3.5,0)"])
    wb.save(out)
    sys.exit(0)
if len(sys.argv) > 2 and sys.argv[2] == "pezzi":
    ws.append(["Listino olio e aceto"])
    ws.append(["Codice", "Descrizione", "Confezione", "Peso cartone (kg)", "Pezzi per cartone",
               "Prezzo €/pz"])
    ws.append(["L001", "Olio evo latta 3 lt", "LATTA 3 LT", 3, 1, 93.52])
    ws.append(["L002", "Olio evo 1 lt", "CT 12X1 LT", 12, 12, 8.5])
    ws.append(["L003", "Aceto balsamico 500 ml", "CT 6X500 ML", 3, 6, "2,35"])
    ws.append(["L004", "Aceto di vino", "CT 12X1 LT", 12, None, 1.2])
    ws.append(["L005", "Olio di semi", "CT 6X1 LT", 6, "2,5", 2.1])
    ws.append(["L006", "Salsa", "CT 6", None, 6, 1.5])
    ws.append(["L007", "Glassa", "CT 2", 2, 1, 0.25])
    wb.save(out)
    sys.exit(0)
if len(sys.argv) > 2:
    ws.append(["Codice", "Descrizione", "Formato", "Peso", "Prezzo"])
    for i in range(int(sys.argv[2])):
        ws.append([f"A{i:06d}", f"ARTICOLO {i}", "CT 6", 1 + i % 7, 1 + (i % 997) / 100])
    wb.save(out)
    sys.exit(0)
ws.append(["Listino prezzi valido dal", None, datetime.date(2027, 2, 1)])
ws.merge_cells("A1:B1")
ws.append([])
ws.append(["Cod. Art.", "Descrizione", "Confezione", "Peso (kg)", "Prezzo €"])
ws.append(["P001", "Pàsta di semola", "CT 12x500 G", 6, 12.5])
ws.append(["P002", "Caffè macinato", "CT 10X250", "2,5", "1.234,50"])
ws.append([None, None, None, None, None])
ws.append(["p003", "Olio extravergine d'oliva", "CT 6X1 LT", "6 lt", "45,90 €"])
ws.append(["P004", "Tonno all'olio", "CT 24", 4.8, 30])
ws.append(["P002", "Caffè doppione", "CT 10X250", 2.5, 9.99])
ws.append(["P005", "Biscotti", "CT 20", 5, "n.d."])
ws.append(["P006", "Farina tipo 00", "CT 10X1 KG", 10, "=D9*2"])
ws.append(["P007", "Zucchero", "CT 10X1 KG", 10, 8.2])
wb.save(out)
