#!/usr/bin/python3
# Writes package.zip, package_v2.zip and package_v3.zip, the event package harness's seeds:
# small packages in the documented form, of version 1, of version 2 (an excluded task's
# winners, the list's fingerprint) and of version 3 (a task that rolls as 名单球).
import hashlib
import zipfile

m = ("Qarvo抽奖软件活动包\t1\n"
     "task\tTaskId\t1001\ntask\tTaskName\t年会抽奖\ntask\tIdType\t0\ntask\tMainTitle\t2027新春年会\n"
     "task\tRemainText\t剩余\\t名额\ntask\tMainImageName\t\ntask\tDataFilePath\t\ntask\tMusicFilePath\t\n"
     "item\t0\tItemId\t2001\nitem\t0\tItemName\t一等奖\nitem\t0\tLuckCount\t1\nitem\t0\tListCount\t1\n"
     "item\t0\tAwardImageName\t\n"
     "item\t1\tItemId\t2002\nitem\t1\tItemName\t二等奖\nitem\t1\tLuckCount\t2\nitem\t1\tListCount\t1\n"
     "file\tlist\tlist.txt\nfile\tbackground\tmedia/background.jpg\nfile\tprize\t0\tmedia/prize_0.png\n")
lst = "BEGIN\r\nCOUNT=3\r\nID_MAX_LENGTH=3\r\nid name\r\nA01 a\r\nA02 b\r\nA03 c\r\nEND\r\n"
ids = "A01\nA03\n"
v2 = (m.replace("活动包\t1\n", "活动包\t2\n", 1) + "task\tRules\tEXCLUDE\\t1004\\n\n" +
      "exclude\t1004\t去年年会\t" + hashlib.sha256(ids.encode()).hexdigest() + "\t" +
      ids.replace("\n", "\\n") + "\n" +
      "fingerprint\t" + hashlib.sha256(lst.encode()).hexdigest() + "\n")
v3 = v2.replace("活动包\t2\n", "活动包\t3\nroll\tsphere\n", 1)
for name, manifest in (("package.zip", m), ("package_v2.zip", v2), ("package_v3.zip", v3)):
    with zipfile.ZipFile(name, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("list.txt", lst)
        z.writestr("media/background.jpg", "JPEG")
        z.writestr("media/prize_0.png", "PNG")
        z.writestr("presets/2002.txt", "A02 b\r\n")
        z.writestr("photos/A01.jpg", "photo")
        z.writestr("event.txt", manifest)
