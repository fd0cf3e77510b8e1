#include <gtest/gtest.h>

#include <filesystem>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

#include "DialogRecorder.h"
#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/db/TombolixDM.h"
#include "core/records/WinnerPhotos.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "gui/app/MainFrm.h"
#include "gui/config/LuckConfigFrm.h"
#include "gui/ui/Qt.h"

using text::G;

namespace {

const QString kFixtures = QString::fromUtf8(IMPORT_FIXTURES) + QStringLiteral("/");
const QString kImportedLabel =
    QStringLiteral("抽奖数据已经导入,如需更换数据,请重新选择文件导入数据!");

// A data task with one prize item and a previous list, shown on the import tab.
class ImportTab : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dm.DataModuleCreate());
    TaskDef def;
    def.items = {{G("一等奖"), 1, 1, G("电脑")}};
    def.candidates = {"1 old"};
    BuildTask(m_dm, def);
    m_old = ReadAll(paths::DrawDataPath(1001));
    m_main = std::make_unique<TMainForm>();
    m_form = std::make_unique<TLuckConfigForm>(m_main.get());
    m_form->show();
    m_form->LuckTaskTV->setCurrentItem(m_form->LuckTaskTV->topLevelItem(0));
    m_form->LuckTaskTVClick();
    m_form->PageControl1->setCurrentWidget(m_form->TsData);
    QObject::connect(m_form->TsData->PrgBar, &QProgressBar::valueChanged,
                     [this](int v) { m_positions.push_back(v); });
  }

  // Picks the kind and the file as the operator does, and presses 导入.
  void Import(int fileType, const QString& path) {
    m_dialogs.log.clear();
    m_positions.clear();
    m_form->TsData->CBFileType->setCurrentIndex(fileType);
    m_dialogs.files.push_back(path);
    QTest::mouseClick(m_form->TsData->SpFileData, Qt::LeftButton);
    ASSERT_EQ(m_form->TsData->EdtFileName->text(), path);
    ASSERT_EQ(m_dialogs.log.at(0).type, RecordedDialog::OpenFile);
    EXPECT_EQ(m_dialogs.log.at(0).filter,
              fileType == 0 ? QStringLiteral("文本文件 (*.txt)")
                            : QStringLiteral("Excel文件 (*.xls *.xlsx *.xlsm *.ods *.csv)"));
    QTest::mouseClick(m_form->TsData->BtnSaveData, Qt::LeftButton);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);  // the busy cursor is gone again
  }
  QStringList Log() const { return m_form->TsData->MLog->toPlainText().split(QLatin1Char('\n')); }
  std::string DataFile() const { return text::GbkToUtf8(ReadAll(paths::DrawDataPath(1001))); }

  TempRoot m_root;
  DialogRecorder m_dialogs;
  TTombolixDataModule m_dm;
  std::unique_ptr<TMainForm> m_main;
  std::unique_ptr<TLuckConfigForm> m_form;
  std::vector<int> m_positions;
  std::string m_old;
};

}  // namespace

TEST_F(ImportTab, EveryKindOfSourceImportsThroughTheTab) {
  struct Case {
    int fileType;
    const char* file;
    const char* kindLine;
    int count;
    bool rowWithoutId;  // the people lists' row 8 has no id: left out and said so
  } cases[] = {
      // Lines 5 and 7 have two fields under three titles: imported, and said so.
      {0, "gbk-crlf.txt", "导入文件类型为[文本文件]", 3, false},
      {1, "people-lo.xlsx", "导入文件类型为[Excel文件]", 7, true},
      {1, "people-lo.xls", "导入文件类型为[Excel文件]", 7, true},
      {1, "people-lo.ods", "导入文件类型为[Excel文件]", 7, true},
      {1, "quoted.csv", "导入文件类型为[Excel文件]", 3, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const QString path = kFixtures + QString::fromUtf8(c.file);
    Import(c.fileType, path);
    ASSERT_EQ(m_dialogs.log.size(), 3u);  // the file choice, the question, the result
    EXPECT_EQ(m_dialogs.log[1].type, RecordedDialog::Question);
    EXPECT_EQ(m_dialogs.log[1].text, QStringLiteral("导入数据将会覆盖原有数据，是否继续？"));
    const QString n = QString::number(c.count);
    QStringList expected{QStringLiteral("开始导入文件..."), QStringLiteral("正在导入文件:") + path,
                         QString::fromUtf8(c.kindLine), QStringLiteral("正在检查文件...")};
    if (c.fileType == 0)
      expected << QStringLiteral("警告:第5行有2列,标题行有3列")
               << QStringLiteral("警告:第7行有2列,标题行有3列");
    expected << QStringLiteral("检查文件结束,文件行数=") + n;
    if (c.rowWithoutId) {
      expected << QStringLiteral("警告:1行第一列（编号）为空，未导入：第8行")
               << QStringLiteral("已经导入行数=") + n
               << QStringLiteral("导入文件完成,有1行未导入!");
      EXPECT_EQ(m_dialogs.log[2].kind, MessageKind::Warning);
      EXPECT_EQ(m_dialogs.log[2].text,
                QStringLiteral("导入完成，但有1行第一列（编号）为空，未导入：第8行。共导入7行。"));
    } else if (c.fileType == 0) {
      expected << QStringLiteral("已经导入行数=") + n << QStringLiteral("导入文件成功!");
      EXPECT_EQ(m_dialogs.log[2].kind, MessageKind::Warning);
      EXPECT_EQ(m_dialogs.log[2].text,
                QStringLiteral("导入成功!\n有2行的列数与标题行不同（第5行、第7行），"
                               "这些行的各列可能与标题对不上。"));
    } else {
      expected << QStringLiteral("已经导入行数=") + n << QStringLiteral("导入文件成功!");
      EXPECT_EQ(m_dialogs.log[2].kind, MessageKind::Information);
      EXPECT_EQ(m_dialogs.log[2].text, QStringLiteral("导入成功!"));
    }
    EXPECT_EQ(Log(), expected);
    EXPECT_EQ(m_form->TsData->LBData->text(), kImportedLabel);
    EXPECT_EQ(m_form->TSBase->EdtDateFlag->text(), QStringLiteral("抽奖数据已导入"));
    EXPECT_EQ(m_form->TSBase->EdtDataFilePath->text(), Q(paths::DrawDataPath(1001)));
    EXPECT_TRUE(m_form->DataImported);
    EXPECT_EQ(m_form->ImportedDataFile, Q(paths::DrawDataPath(1001)));
    EXPECT_TRUE(m_form->TSItem->BntCheat->isEnabled());
    EXPECT_NE(std::find(m_positions.begin(), m_positions.end(), 26), m_positions.end());
    EXPECT_EQ(m_form->TsData->PrgBar->value(), 0);
    EXPECT_EQ(DataFile().find("COUNT=" + n.toStdString() + "\r\n"), 7u);
  }
}

TEST_F(ImportTab, TheFirstImportAsksNothingAndTheNextAsksBeforeOverwriting) {
  std::filesystem::remove(paths::NativePath(paths::DrawDataPath(1001)));
  const QString path = kFixtures + QStringLiteral("gbk-crlf.txt");
  Import(0, path);
  ASSERT_EQ(m_dialogs.log.size(), 2u);  // the file choice and the result: nothing to overwrite
  EXPECT_TRUE(m_dialogs.log[1].text.startsWith(QStringLiteral("导入成功!")));
  Import(0, path);
  ASSERT_EQ(m_dialogs.log.size(), 3u);
  EXPECT_EQ(m_dialogs.log[1].text, QStringLiteral("导入数据将会覆盖原有数据，是否继续？"));
}

TEST_F(ImportTab, AFailedImportKeepsTheListAndTheStatus) {
  const QString labelBefore = m_form->TsData->LBData->text();
  const QString flagBefore = m_form->TSBase->EdtDateFlag->text();
  const bool cheatBefore = m_form->TSItem->BntCheat->isEnabled();
  ASSERT_TRUE(m_form->DataImported);

  const QString bad = kFixtures + QStringLiteral("not-a-workbook.xlsx");
  Import(1, bad);
  ASSERT_EQ(m_dialogs.log.size(), 3u);
  EXPECT_EQ(m_dialogs.log[2].kind, MessageKind::Error);
  EXPECT_EQ(m_dialogs.log[2].text,
            QStringLiteral("文件不是有效的电子表格文件,或者已经损坏:") + bad);
  EXPECT_EQ(Log().last(),
            QStringLiteral("文件导入出错,文件不是有效的电子表格文件,或者已经损坏:") + bad);
  EXPECT_EQ(ReadAll(paths::DrawDataPath(1001)), m_old);
  EXPECT_EQ(m_form->TsData->LBData->text(), labelBefore);
  EXPECT_EQ(m_form->TSBase->EdtDateFlag->text(), flagBefore);
  EXPECT_TRUE(m_form->DataImported);
  EXPECT_EQ(m_form->TSItem->BntCheat->isEnabled(), cheatBefore);

  // No, or the question's close box: nothing at all happens, the log stays.
  const QString logBefore = m_form->TsData->MLog->toPlainText();
  for (const Answer a : {Answer::No, Answer::Closed}) {
    m_dialogs.answers.push_back(a);
    Import(0, kFixtures + QStringLiteral("gbk-crlf.txt"));
    EXPECT_EQ(m_dialogs.log.size(), 2u);
    EXPECT_EQ(m_form->TsData->MLog->toPlainText(), logBefore);
    EXPECT_EQ(ReadAll(paths::DrawDataPath(1001)), m_old);
  }
}

TEST_F(ImportTab, PhotosNamedAfterTheIdsComeWithTheListScaledAndCounted) {
  // A folder of pictures: two candidates (one in capitals, one too large), one who is not on
  // the list, one that is no picture, and a note.
  const QString pics = QString::fromStdString(m_root.path("pics"));
  ASSERT_TRUE(QDir().mkpath(pics));
  QImage big(2000, 1500, QImage::Format_RGB32);
  big.fill(Qt::green);
  ASSERT_TRUE(big.save(pics + QStringLiteral("/13900000001.JPG"), "JPG"));
  QImage small(300, 400, QImage::Format_ARGB32);
  small.fill(QColor(0, 0, 255, 128));
  ASSERT_TRUE(small.save(pics + QStringLiteral("/13900000002.png")));
  ASSERT_TRUE(small.save(pics + QStringLiteral("/13999999999.png")));
  WriteAll(m_root.path("pics/13900000003.jpg"), "not a picture");
  WriteAll(m_root.path("pics/notes.txt"), "hello");
  std::string list = "id name\r\n";
  for (int i = 1; i <= 4; ++i) list += std::to_string(13900000000LL + i) + " p\r\n";
  WriteAll(m_root.path("list.txt"), list);

  m_dialogs.files.push_back(pics);
  QTest::mouseClick(m_form->TsData->SpPhotoDir, Qt::LeftButton);
  ASSERT_EQ(m_form->TsData->EdtPhotoDir->text(), pics);
  Import(0, QString::fromStdString(m_root.path("list.txt")));
  const QStringList log = Log();
  EXPECT_TRUE(log.contains(QStringLiteral("找到照片2张,没有照片的号码2个")))
      << log.join(QLatin1Char('\n')).toStdString();
  EXPECT_TRUE(log.contains(QStringLiteral("无法读取的照片1张")));
  EXPECT_TRUE(log.contains(QStringLiteral("不属于抽奖数据的照片1张")));
  EXPECT_EQ(m_dialogs.messages().back().second, QStringLiteral("导入成功!"));

  const QString dir = QString::fromStdString(paths::U8(paths::NativePath(photos::PhotoDir(1001))));
  QImage stored(dir + QStringLiteral("/13900000001.jpg"));
  ASSERT_FALSE(stored.isNull());
  EXPECT_EQ(stored.size(), QSize(720, 540));  // scaled down, proportions kept
  QImage kept(dir + QStringLiteral("/13900000002.jpg"));
  ASSERT_FALSE(kept.isNull());
  EXPECT_EQ(kept.size(), QSize(300, 400));  // small enough as it was
  EXPECT_FALSE(QFile::exists(dir + QStringLiteral("/13900000003.jpg")));
  EXPECT_FALSE(QFile::exists(dir + QStringLiteral("/13999999999.jpg")));
  // Nothing half-written stays beside them.
  EXPECT_EQ(QDir(dir).entryList(QDir::Files).size(), 2);
}

TEST_F(ImportTab, AnUnreadablePhotoFolderIsToldAndTheListStays) {
  WriteAll(m_root.path("list.txt"), "id name\r\n13900000001 p\r\n");
  m_form->TsData->EdtPhotoDir->setText(QString::fromStdString(m_root.path("no-such-folder")));
  Import(0, QString::fromStdString(m_root.path("list.txt")));
  EXPECT_NE(DataFile().find("13900000001 p"), std::string::npos);
  ASSERT_GE(m_dialogs.messages().size(), 2u);
  EXPECT_EQ(m_dialogs.messages()[0].first, MessageKind::Error);
  EXPECT_TRUE(m_dialogs.messages()[0].second.startsWith(QStringLiteral("照片文件夹无法读取")));
  EXPECT_TRUE(Log().contains(QStringLiteral("导入文件成功!")));
  EXPECT_TRUE(Log().last().startsWith(QStringLiteral("照片导入出错,照片文件夹无法读取:")))
      << Log().last().toStdString();
}
