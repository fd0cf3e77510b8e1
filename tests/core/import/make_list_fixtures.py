#!/usr/bin/python3
"""Makes the list fixtures under fixtures/ with real producers: openpyxl for the workbooks,
Python's csv module for the csv as a spreadsheet saves it ("CSV UTF-8", with its mark).
Each holds one thing an HR list really has:

  gap-openpyxl.xlsx     an empty row in the middle, a row with data but no id, and
                        formatted empty rows at the end
  gap.csv               the same rows as csv
  spaces-openpyxl.xlsx  cells with blanks (a long Western name, a title with a blank)
  numbers-openpyxl.xlsx ids and tickets stored as numbers, one id twice (once as a number,
                        once as text), and a ticket of -1

Run from anywhere: /usr/bin/python3 tests/core/import/make_list_fixtures.py
Needs python3-openpyxl (only for making, never for the tests)."""
import csv
import os

import openpyxl

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "fixtures")
os.makedirs(OUT, exist_ok=True)


def out(name):
    return os.path.join(OUT, name)


GAP = [
    ["工号", "姓名", "部门"],
    ["1001", "张三", "销售部"],
    ["1002", "李四", "技术部"],
    [None, None, None],
    ["1003", "王五", "市场部"],
    [None, "没有工号", "财务部"],
    ["1004", "赵六", "行政部"],
]

wb = openpyxl.Workbook()
ws = wb.active
ws.title = "名单"
for row in GAP:
    ws.append(row)
# A spreadsheet keeps formatted rows below the list; they are no gap.
ws["A12"].number_format = "@"
ws["B15"].number_format = "@"
wb.save(out("gap-openpyxl.xlsx"))

with open(out("gap.csv"), "w", encoding="utf-8-sig", newline="") as f:
    w = csv.writer(f, lineterminator="\r\n")
    for row in GAP:
        w.writerow(["" if c is None else c for c in row])

wb = openpyxl.Workbook()
ws = wb.active
ws.title = "名单"
ws.append(["工号", "English Name", "部门", "分公司"])
ws.append([2001, "Maximilian Alexander von Hohenberg", "研发 一部", "总部"])
ws.append([2002, "李四", "销售部", "深圳"])
ws.append([2003, "Anna  Lee", "销售部", "北京 分公司"])
wb.save(out("spaces-openpyxl.xlsx"))

wb = openpyxl.Workbook()
ws = wb.active
ws.title = "名单"
ws.append(["手机号码", "姓名", "票数"])
ws.append([13800000001, "张三", 2])
ws.append([13800000002, "李四", 1])
ws.append(["13800000001", "张叁", 1])
ws.append([13800000003, "王五", -1])
ws.append([13800000002, "李司", 3])
ws["A4"].number_format = "@"
wb.save(out("numbers-openpyxl.xlsx"))
print("fixtures written to", OUT)
