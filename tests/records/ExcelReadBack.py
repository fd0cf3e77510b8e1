#!/usr/bin/python3
"""Reads the exported winner workbooks back with openpyxl, a reader that shares nothing with
the writer, and checks what a person opening them would see.

usage: ExcelReadBack.py FIXTURE_PROGRAM OUTDIR
"""
import subprocess
import sys
import unittest

import openpyxl

FIXTURE, OUTDIR = sys.argv[1], sys.argv[2]
LONG = "超级幸运大奖" * 6


class ReadBack(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        subprocess.run([FIXTURE, OUTDIR], check=True)
        cls.all = openpyxl.load_workbook(OUTDIR + "/all.xlsx")
        cls.one = openpyxl.load_workbook(OUTDIR + "/one.xlsx")

    def column(self, ws):
        return [ws.cell(row=r, column=1).value for r in range(1, ws.max_row + 1)]

    def test_one_sheet_per_item_with_a_file_in_list_order_and_valid_unique_names(self):
        self.assertEqual(self.all.sheetnames, [
            "一等奖",
            "一等奖 (2)",  # the same item name again
            "a_b_c_d_e_f_g_h",  # : / ? * [ ] \ are not allowed
            LONG[:31],  # 31 characters at most
            LONG[:27] + " (2)",  # cut further to make room for the number
            "HISTORY (2)",  # Excel keeps "History" for itself, in any case
        ])
        self.assertEqual([self.all[n]["A1"].value for n in self.all.sheetnames],
                         ["一等奖", "一等奖", "a:b/c?d*e[f]g\\h", LONG, LONG, "HISTORY"])

    def test_cells_hold_the_whole_lines_as_text(self):
        ws = self.all["一等奖"]
        self.assertEqual(self.column(ws), [
            "一等奖", "号码 姓名 部门", "110101199001011234 张三 销售部", "013800000001",
            "110101199001011234", "000123 李四"])
        for r in range(1, ws.max_row + 1):
            self.assertEqual(ws.cell(row=r, column=1).data_type, "s")
        self.assertEqual(ws.max_column, 1)
        # A title line alone gives A1 and A2.
        self.assertEqual(self.column(self.all["一等奖 (2)"]), ["一等奖", "号码"])
        self.assertEqual(self.column(self.all["a_b_c_d_e_f_g_h"]), ["a:b/c?d*e[f]g\\h", "id", "1"])

    def test_formats(self):
        ws = self.all["一等奖"]
        a1 = ws["A1"]
        self.assertTrue(a1.font.b)
        self.assertEqual(a1.font.name, "宋体")
        self.assertEqual(a1.number_format, "@")
        self.assertEqual((a1.alignment.horizontal, a1.alignment.vertical), ("center", "center"))
        self.assertIsNone(a1.border.left.style)
        for r in range(2, ws.max_row + 1):
            c = ws.cell(row=r, column=1)
            self.assertFalse(c.font.b)
            self.assertEqual(c.font.name, "宋体")
            self.assertEqual(c.number_format, "@")
            self.assertEqual(c.alignment.horizontal, "center")
            # Bottom is the default of the format, which leaves it unwritten.
            self.assertIn(c.alignment.vertical, (None, "bottom"))
            self.assertEqual([c.border.left.style, c.border.right.style, c.border.top.style,
                              c.border.bottom.style], ["thin"] * 4)

    def test_column_a_is_as_wide_as_the_widest_cell(self):
        # GBK bytes + 2: the second line (30 bytes) is the widest, not the last one.
        widths = {n: self.all[n].column_dimensions["A"].width for n in self.all.sheetnames}
        self.assertTrue(32 <= widths["一等奖"] < 33, widths)
        self.assertTrue(8 <= widths["一等奖 (2)"] < 9, widths)  # the item name is wider
        self.assertTrue(74 <= widths[LONG[:31]] < 75, widths)

    def test_the_task_name_is_the_title(self):
        self.assertEqual(self.all.properties.title, "年会抽奖")

    def test_one_item_fills_the_first_sheet_only(self):
        self.assertEqual(self.one.sheetnames, ["一等奖"])
        self.assertEqual(self.column(self.one["一等奖"]), ["一等奖", "号码"])


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], "-v"])
