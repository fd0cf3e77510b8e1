#!/usr/bin/python3
"""Makes the import fixtures under fixtures/ with real producers: openpyxl for the source
workbook, LibreOffice headless for its xlsx, xls and ods forms, Python's codecs for the text
files in each encoding, and zipfile for the hand-made and the broken workbooks.

Run from anywhere: /usr/bin/python3 tests/core/import/make_fixtures.py
Needs python3-openpyxl and libreoffice-calc-nogui (only for making, never for the tests)."""
import datetime
import os
import shutil
import subprocess
import tempfile
import zipfile

import openpyxl

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "fixtures")
os.makedirs(OUT, exist_ok=True)


def out(name):
    return os.path.join(OUT, name)


# --- The people workbook: every kind of cell on the first sheet. -----------------------
def people_workbook(path, with_formulas):
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "名单"
    ws.append(["手机号码", "姓名", "部门", None, "备注"])
    ws.append([13812345678, "  张三 ", "销售部", None, "不读"])
    ws.append(["00123", "李四", "技术部"])
    ws.append(["123456789012345678", "王五", "多行\n文本\t内容"])
    ws.append([13900000000, True, datetime.date(2024, 3, 12)])
    ws.append([13700000000, datetime.datetime(2024, 3, 12, 8, 30), 2.5])
    ws.append([13600000000, None, "市场部"])
    ws.append([None, "孤儿", "没有编号"])
    ws.append([13500000000, "赵六", "不导入"])
    ws["C3"].number_format = "@"
    ws["C5"].number_format = "yyyy-mm-dd"
    ws["B6"].number_format = "yyyy-mm-dd hh:mm:ss"
    if with_formulas:
        ws["D2"] = "=1/0"
        ws["C6"] = "=5/2"
    other = wb.create_sheet("其他")
    other.append(["不是第一张表"])
    wb.save(path)


people_workbook(out("people-openpyxl.xlsx"), with_formulas=False)

# LibreOffice reads the formula workbook, computes it, and writes each format itself.
tmp = tempfile.mkdtemp()
src = os.path.join(tmp, "people-lo.xlsx")
people_workbook(src, with_formulas=True)
for fmt, name in (("xlsx", "people-lo.xlsx"), ("xls", "people-lo.xls"), ("ods", "people-lo.ods")):
    conv = os.path.join(tmp, "conv")
    subprocess.run(["soffice", "--headless", "--norestore", "--convert-to", fmt,
                    "--outdir", conv, src], check=True, stdout=subprocess.DEVNULL)
    shutil.copy(os.path.join(conv, "people-lo." + fmt), out(name))

# An ods with repeated cells, text:s spaces and two paragraphs in one cell: written as
# flat XML and converted by LibreOffice, which writes the repeats itself.
fods = os.path.join(tmp, "repeat.fods")
with open(fods, "w", encoding="utf-8") as f:
    f.write("""<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.spreadsheet">
<office:body><office:spreadsheet><table:table table:name="名单">
<table:table-row><table:table-cell office:value-type="string"><text:p>编号</text:p></table:table-cell>
<table:table-cell office:value-type="string"><text:p>姓名</text:p></table:table-cell></table:table-row>
<table:table-row table:number-rows-repeated="3"><table:table-cell office:value-type="float" office:value="7"><text:p>7</text:p></table:table-cell>
<table:table-cell office:value-type="string"><text:p>同<text:s text:c="3"/>名</text:p><text:p>第二段</text:p></table:table-cell></table:table-row>
<table:table-row><table:table-cell office:value-type="string"><text:p>9</text:p></table:table-cell>
<table:table-cell office:value-type="string"><office:annotation><text:p>批注不读</text:p></office:annotation><text:p>9</text:p></table:table-cell></table:table-row>
</table:table></office:spreadsheet></office:body></office:document>
""")
conv = os.path.join(tmp, "conv")
subprocess.run(["soffice", "--headless", "--norestore", "--convert-to", "ods",
                "--outdir", conv, fods], check=True, stdout=subprocess.DEVNULL)
shutil.copy(os.path.join(conv, "repeat.ods"), out("repeat-lo.ods"))
shutil.rmtree(tmp)

# --- Hand-made xlsx: inline strings, absolute part paths, cells without a reference. --
CT = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">
<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>
<Default Extension="xml" ContentType="application/xml"/>
<Override PartName="/book/wb.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>
<Override PartName="/book/data/s1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>
</Types>"""
RELS = """<?xml version="1.0" encoding="UTF-8"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="/book/wb.xml"/>
</Relationships>"""
WB = """<?xml version="1.0" encoding="UTF-8"?>
<x:workbook xmlns:x="http://schemas.openxmlformats.org/spreadsheetml/2006/main"
 xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">
<x:sheets><x:sheet name="导出" sheetId="7" r:id="rIdB"/><x:sheet name="后" sheetId="1" r:id="rIdA"/></x:sheets>
</x:workbook>"""
WBRELS = """<?xml version="1.0" encoding="UTF-8"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
<Relationship Id="rIdA" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="/book/data/s2.xml"/>
<Relationship Id="rIdB" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="/book/data/s1.xml"/>
</Relationships>"""
S1 = """<?xml version="1.0" encoding="UTF-8"?>
<x:worksheet xmlns:x="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><x:sheetData>
<x:row><x:c t="inlineStr"><x:is><x:t>工号</x:t></x:is></x:c><x:c t="inlineStr"><x:is><x:r><x:t>姓</x:t></x:r><x:r><x:t>名</x:t></x:r></x:is></x:c></x:row>
<x:row><x:c t="inlineStr"><x:is><x:t>A001</x:t></x:is></x:c><x:c t="inlineStr"><x:is><x:t>钱七_x000D__x000A_备注</x:t></x:is></x:c></x:row>
<x:row><x:c t="n"><x:v>1.5E3</x:v></x:c><x:c t="e"><x:v>#N/A</x:v></x:c></x:row>
<x:row><x:c t="str"><x:f>A2</x:f><x:v>A001</x:v></x:c><x:c t="b"><x:v>0</x:v></x:c></x:row>
</x:sheetData></x:worksheet>"""
S2 = S1.replace("工号", "错表")
with zipfile.ZipFile(out("handmade-inline.xlsx"), "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("[Content_Types].xml", CT)
    z.writestr("_rels/.rels", RELS)
    z.writestr("book/wb.xml", WB)
    z.writestr("book/_rels/wb.xml.rels", WBRELS)
    z.writestr("book/data/s1.xml", S1)
    z.writestr("book/data/s2.xml", S2)

# Dates in the 1904 system, a time-only format, an ISO date cell, and phonetic runs that
# are not part of the text.
WB1904 = WB.replace("<x:sheets>", '<x:workbookPr date1904="1"/><x:sheets>')
WBRELS2 = WBRELS.replace("</Relationships>",
    '<Relationship Id="rIdS" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings" Target="../book/strings.xml"/>'
    '<Relationship Id="rIdY" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles" Target="styles.xml"/></Relationships>')
STRINGS = """<?xml version="1.0" encoding="UTF-8"?>
<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" count="1" uniqueCount="1">
<si><r><t>东</t></r><r><t>京</t></r><rPh sb="0" eb="2"><t>トウキョウ</t></rPh></si></sst>"""
STYLES = """<?xml version="1.0" encoding="UTF-8"?>
<styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">
<numFmts count="1"><numFmt numFmtId="164" formatCode="yyyy/m/d;@"/></numFmts>
<cellXfs count="3"><xf numFmtId="0"/><xf numFmtId="164"/><xf numFmtId="20"/></cellXfs></styleSheet>"""
S3 = """<?xml version="1.0" encoding="UTF-8"?>
<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>
<row r="1"><c r="A1" t="inlineStr"><is><t>编号</t></is></c><c r="B1" t="inlineStr"><is><t>日期</t></is></c><c r="C1" t="inlineStr"><is><t>时间</t></is></c><c r="D1" t="inlineStr"><is><t>城市</t></is></c></row>
<row r="2"><c r="A2"><v>1</v></c><c r="B2" s="1"><v>0</v></c><c r="C2" s="2"><v>0.5</v></c><c r="D2" t="s"><v>0</v></c></row>
<row r="3"><c r="A3"><v>2</v></c><c r="B3" t="d"><v>2024-03-12T08:30:00</v></c><c r="C3" s="2"><v>0.75</v></c></row>
</sheetData></worksheet>"""
with zipfile.ZipFile(out("handmade-dates.xlsx"), "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("[Content_Types].xml", CT)
    z.writestr("_rels/.rels", RELS)
    z.writestr("book/wb.xml", WB1904)
    z.writestr("book/_rels/wb.xml.rels", WBRELS2)
    z.writestr("book/data/s1.xml", S3)
    z.writestr("book/strings.xml", STRINGS)
    z.writestr("book/styles.xml", STYLES)

# --- Broken and hostile workbooks. ----------------------------------------------------
with open(out("people-lo.xlsx"), "rb") as f:
    good = f.read()
with open(out("truncated.xlsx"), "wb") as f:
    f.write(good[: len(good) // 2])
with open(out("not-a-workbook.xlsx"), "wb") as f:
    f.write("手机号码 姓名\r\n13800000000 张三\r\n".encode("gbk"))
open(out("empty.xlsx"), "wb").close()

BOMB = """<?xml version="1.0"?>
<!DOCTYPE lolz [<!ENTITY a "aaaaaaaaaaaaaaaa"><!ENTITY b "&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;">
<!ENTITY c "&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;"><!ENTITY d "&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;">]>
<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>
<row r="1"><c t="inlineStr"><is><t>&d;</t></is></c></row></sheetData></worksheet>"""
with zipfile.ZipFile(out("entity-bomb.xlsx"), "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("[Content_Types].xml", CT)
    z.writestr("_rels/.rels", RELS)
    z.writestr("book/wb.xml", WB)
    z.writestr("book/_rels/wb.xml.rels", WBRELS)
    z.writestr("book/data/s1.xml", BOMB)
    z.writestr("book/data/s2.xml", S2)

# A zip bomb: 64 MB of one repeated row packs to a few hundred kB; its sizes are then
# raised to 3 GB in both headers, as a crafted bomb declares them.
row = '<row><c t="inlineStr"><is><t>1</t></is></c></row>'
sheet = '<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>'
sheet += row * (64 * 1024 * 1024 // len(row)) + "</sheetData></worksheet>"
with zipfile.ZipFile(out("zip-bomb.xlsx"), "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
    z.writestr("[Content_Types].xml", CT)
    z.writestr("_rels/.rels", RELS)
    z.writestr("book/wb.xml", WB)
    z.writestr("book/_rels/wb.xml.rels", WBRELS)
    z.writestr("book/data/s1.xml", sheet)
with open(out("zip-bomb.xlsx"), "rb") as f:
    data = bytearray(f.read())
real = len(sheet.encode()).to_bytes(4, "little")
fake = (3 * 1024 * 1024 * 1024).to_bytes(4, "little")
at = 0
while True:
    at = data.find(real, at)
    if at < 0:
        break
    data[at:at + 4] = fake
    at += 4
with open(out("zip-bomb.xlsx"), "wb") as f:
    f.write(data)

# A password-protected zip entry (traditional zip encryption).
tmp = tempfile.mkdtemp()
for name, text in (("[Content_Types].xml", CT), ("_rels/.rels", RELS), ("book/wb.xml", WB),
                   ("book/_rels/wb.xml.rels", WBRELS), ("book/data/s1.xml", S1)):
    p = os.path.join(tmp, name)
    os.makedirs(os.path.dirname(p), exist_ok=True)
    with open(p, "w", encoding="utf-8") as f:
        f.write(text)
if os.path.exists(out("encrypted.xlsx")):
    os.remove(out("encrypted.xlsx"))
subprocess.run(["zip", "-q", "-r", "-P", "secret", out("encrypted.xlsx"), "."], cwd=tmp, check=True)
shutil.rmtree(tmp)

# An xls saved with a password by LibreOffice (RC4 encryption), through a Basic macro in a
# throw-away profile, as the command line takes no password.
prof = tempfile.mkdtemp()
subprocess.run(["soffice", "-env:UserInstallation=file://" + prof, "--headless",
                "--terminate_after_init"], check=True, stdout=subprocess.DEVNULL,
               stderr=subprocess.DEVNULL)
with open(os.path.join(prof, "user/basic/Standard/Module1.xba"), "w") as f:
    f.write("""<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE script:module PUBLIC "-//OpenOffice.org//DTD OfficeDocument 1.0//EN" "module.dtd">
<script:module xmlns:script="http://openoffice.org/2000/script" script:name="Module1" script:language="StarBasic">
Sub SaveEncrypted(src As String, dst As String)
  Dim args(0) As New com.sun.star.beans.PropertyValue
  args(0).Name = &quot;Hidden&quot;
  args(0).Value = True
  doc = StarDesktop.loadComponentFromURL(ConvertToURL(src), &quot;_blank&quot;, 0, args())
  Dim out(1) As New com.sun.star.beans.PropertyValue
  out(0).Name = &quot;FilterName&quot;
  out(0).Value = &quot;MS Excel 97&quot;
  out(1).Name = &quot;Password&quot;
  out(1).Value = &quot;secret&quot;
  doc.storeToURL(ConvertToURL(dst), out())
  doc.close(True)
End Sub
</script:module>
""")
if os.path.exists(out("encrypted.xls")):
    os.remove(out("encrypted.xls"))
subprocess.run(["soffice", "-env:UserInstallation=file://" + prof, "--headless", "--norestore",
                'macro:///Standard.Module1.SaveEncrypted("%s","%s")'
                % (out("people-openpyxl.xlsx"), out("encrypted.xls"))],
               check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
shutil.rmtree(prof)

# An empty first sheet.
wb = openpyxl.Workbook()
wb.active.title = "空"
wb.save(out("empty-sheet.xlsx"))

# --- Number formats shown as they are: a date with its time (pandas' default format for a
# datetime column), percentages, fixed decimals; the id in column 1 keeps its plain number.
# openpyxl writes the xlsx, LibreOffice its ods and xls forms.
def formats_workbook(path):
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "格式"
    ws.append(["编号", "时间", "比例", "金额", "整数"])
    ws.append([13812345678, datetime.datetime(2024, 3, 12, 0, 0), 0.25, 1234.5, 2.5])
    ws.append([1002, datetime.datetime(2024, 3, 12, 8, 30, 15), 0.1234, 1234567.891, 1.005])
    ws.append([7, datetime.datetime(2024, 12, 31, 23, 59, 59), 1.5, 0.5, -2.5])
    for row in (2, 3, 4):
        ws["B%d" % row].number_format = "YYYY-MM-DD HH:MM:SS"
    ws["A2"].number_format = "#,##0"
    ws["A3"].number_format = "0.00"
    ws["A4"].number_format = "0%"
    ws["C2"].number_format = "0%"
    ws["C3"].number_format = "0.00%"
    ws["C4"].number_format = "0%"
    ws["D2"].number_format = "0.00"
    ws["D3"].number_format = "#,##0.00"
    ws["D4"].number_format = "0.00"
    ws["E2"].number_format = "0"
    ws["E3"].number_format = "0.00"
    ws["E4"].number_format = "0"
    wb.save(path)


formats_workbook(out("formats-openpyxl.xlsx"))
tmp = tempfile.mkdtemp()
for fmt in ("ods", "xls"):
    conv = os.path.join(tmp, "conv")
    subprocess.run(["soffice", "--headless", "--norestore", "--convert-to", fmt,
                    "--outdir", conv, out("formats-openpyxl.xlsx")], check=True,
                   stdout=subprocess.DEVNULL)
    shutil.copy(os.path.join(conv, "formats-openpyxl." + fmt), out("formats-lo." + fmt))
shutil.rmtree(tmp)

# --- csv and text files. -----------------------------------------------------------------
with open(out("quoted.csv"), "wb") as f:
    f.write(b"\xef\xbb\xbf")
    f.write('编号,姓名,备注\r\n001,"张,三","说""你好"""\r\n002,李四,"两\r\n行"\r\n003,王五,\r\n'
            .encode("utf-8"))

TEXT = "手机号码  姓名 \t部门\r\n\r\n 13800000001   张三  销售部 \r\n\r\n13800000002 李四\r\n   \r\n13800000003 王五\t技术部\r\n"
with open(out("gbk-crlf.txt"), "wb") as f:
    f.write(TEXT.encode("gbk"))
with open(out("utf8.txt"), "wb") as f:
    f.write(TEXT.replace("\r\n", "\n").encode("utf-8"))
with open(out("utf8-bom.txt"), "wb") as f:
    f.write(b"\xef\xbb\xbf" + TEXT.encode("utf-8"))
with open(out("utf16le.txt"), "wb") as f:
    f.write(b"\xff\xfe" + TEXT.encode("utf-16-le"))
with open(out("utf16be.txt"), "wb") as f:
    f.write(b"\xfe\xff" + TEXT.encode("utf-16-be"))
# fuzzed-overread.xls is not made here: it is an input the xls fuzz harness found, on which
# libfreexl reads beyond a buffer; it is kept as it was found.
# lo-unreadable.xls is not made here either: LibreOffice wrote it from a csv of 22 rows
# (text, text, date, number columns); its Workbook stream is exactly 4096 bytes and
# libfreexl gives no handle for it. Another LibreOffice version may lay it out otherwise.
print("fixtures written to", OUT)
