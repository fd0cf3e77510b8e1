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

    def rows(self, ws):
        return [[c.value for c in row] for row in ws.iter_rows(min_row=2)]

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

    def test_each_field_in_its_own_column_under_the_heads_as_text(self):
        ws = self.all["一等奖"]
        self.assertEqual(ws["A1"].value, "一等奖")
        self.assertEqual([str(r) for r in ws.merged_cells.ranges], ["A1:C1"])
        self.assertEqual(self.rows(ws), [
            ["号码", "姓名", "部门"],
            ["110101199001011234", "张三", "销售部"],
            ["013800000001", None, None],
            ["110101199001011234", None, None],
            ["000123", "李四", None]])
        for row in ws.iter_rows():
            for c in row:
                if c.value is not None:
                    self.assertEqual(c.data_type, "s", c.coordinate)
        # A title line alone gives A1 and the head.
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
        for c in ws[2]:  # the heads: bold, framed
            self.assertTrue(c.font.b, c.coordinate)
            self.assertEqual(c.number_format, "@")
            self.assertEqual(c.border.bottom.style, "thin")
        for r in range(3, ws.max_row + 1):
            c = ws.cell(row=r, column=1)
            self.assertFalse(c.font.b)
            self.assertEqual(c.font.name, "宋体")
            self.assertEqual(c.number_format, "@")
            self.assertEqual(c.alignment.horizontal, "center")
            # Bottom is the default of the format, which leaves it unwritten.
            self.assertIn(c.alignment.vertical, (None, "bottom"))
            self.assertEqual([c.border.left.style, c.border.right.style, c.border.top.style,
                              c.border.bottom.style], ["thin"] * 4)

    def test_each_column_is_as_wide_as_its_widest_cell(self):
        # GBK bytes + 2: the 18-digit id, the name and the department.
        ws = self.all["一等奖"]
        widths = [ws.column_dimensions[c].width for c in "ABC"]
        self.assertTrue(20 <= widths[0] < 21, widths)
        self.assertTrue(6 <= widths[1] < 7, widths)
        self.assertTrue(8 <= widths[2] < 9, widths)
        # One column holds the item name as well.
        widths = {n: self.all[n].column_dimensions["A"].width for n in self.all.sheetnames}
        self.assertTrue(8 <= widths["一等奖 (2)"] < 9, widths)  # the item name is wider
        self.assertTrue(74 <= widths[LONG[:31]] < 75, widths)

    def test_the_task_name_is_the_title(self):
        self.assertEqual(self.all.properties.title, "年会抽奖")

    def test_one_item_fills_the_first_sheet_only(self):
        self.assertEqual(self.one.sheetnames, ["一等奖"])
        self.assertEqual(self.column(self.one["一等奖"]), ["一等奖", "号码"])


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], "-v"])
