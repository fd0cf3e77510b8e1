#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>
#include <QTreeView>

#include "DialogRecorder.h"
#include "ModalHelper.h"
#include "gui/ui/Dialogs.h"
#include "gui/ui/FileDialogs.h"
#include "gui/ui/Qt.h"

namespace {
void Touch(const QString& path) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("old");
}
}  // namespace

TEST(ChooseSaveFile, AsksWithTheExtensionFilterAndForcesTheExtension) {
  QTemporaryDir dir;
  DialogRecorder rec;
  rec.files = {dir.filePath(QStringLiteral("winners")), dir.filePath(QStringLiteral("w.TXT")),
               QStringLiteral("  ") + dir.filePath(QStringLiteral("x.txt")) + QStringLiteral(" \t"),
               dir.filePath(QStringLiteral("a.b.csv"))};
  QString name;
  ChooseSaveFile(QStringLiteral("txt"), QStringLiteral("请选择文件"), QString(), nullptr, name);
  EXPECT_EQ(name, dir.filePath(QStringLiteral("winners.txt")));
  ASSERT_EQ(rec.log.size(), 1u);
  EXPECT_EQ(rec.log[0].type, RecordedDialog::SaveFile);
  EXPECT_EQ(rec.log[0].text, QStringLiteral("请选择文件"));
  EXPECT_EQ(rec.log[0].filter, QStringLiteral("文本文件 (*.txt)"));
  EXPECT_EQ(rec.log[0].initialName, QStringLiteral(".txt"));

  ChooseSaveFile(QStringLiteral("txt"), QStringLiteral("t"), QStringLiteral("结果"), nullptr, name);
  EXPECT_EQ(name, dir.filePath(QStringLiteral("w.txt")));  // case counts: TXT is replaced
  EXPECT_EQ(rec.log[1].initialName, QStringLiteral("结果.txt"));
  ChooseSaveFile(QStringLiteral("txt"), QStringLiteral("t"), QString(), nullptr, name);
  EXPECT_EQ(name, dir.filePath(QStringLiteral("x.txt")));  // trimmed
  ChooseSaveFile(QStringLiteral("xls"), QStringLiteral("t"), QString(), nullptr, name);
  EXPECT_EQ(name, dir.filePath(QStringLiteral("a.b.xls")));  // only the last extension
  EXPECT_TRUE(rec.messages().empty());
}

TEST(ChooseSaveFile, CancelAndBlankName) {
  DialogRecorder rec;
  rec.files = {std::nullopt, QStringLiteral("  \t ")};
  QString name = QStringLiteral("stale");
  ChooseSaveFile(QStringLiteral("txt"), QStringLiteral("t"), QString(), nullptr, name);
  EXPECT_TRUE(name.isEmpty());
  ASSERT_EQ(rec.log.size(), 1u);  // nothing after a cancel
  ChooseSaveFile(QStringLiteral("txt"), QStringLiteral("t"), QString(), nullptr, name);
  EXPECT_TRUE(name.isEmpty());
  ASSERT_EQ(rec.log.size(), 3u);
  EXPECT_EQ(rec.log[2].type, RecordedDialog::Warning);
  EXPECT_EQ(rec.log[2].text, QStringLiteral("请选择保存的文件名"));
}

TEST(ChooseSaveFile, ExistingFileIsChosenOnlyAfterYesAndKept) {
  QTemporaryDir dir;
  const QString target = dir.filePath(QStringLiteral("名单.txt"));
  Touch(target);
  DialogRecorder rec;
  rec.files = {target, target, target};
  rec.answers = {Answer::No, Answer::Closed, Answer::Yes};
  QString name;
  ChooseSaveFile(QStringLiteral("txt"), QStringLiteral("t"), QString(), nullptr, name);
  EXPECT_TRUE(name.isEmpty());
  EXPECT_TRUE(QFile::exists(target));
  ASSERT_EQ(rec.log.size(), 2u);
  EXPECT_EQ(rec.log[1].type, RecordedDialog::Question);
  EXPECT_EQ(rec.log[1].text, QStringLiteral("文件:\"") + target +
                                 QStringLiteral("\"已经存在！\n要覆盖该文件请按“是”"));

  ChooseSaveFile(QStringLiteral("txt"), QStringLiteral("t"), QString(), nullptr, name);
  EXPECT_TRUE(name.isEmpty());  // closing the question is no overwrite
  EXPECT_TRUE(QFile::exists(target));

  ChooseSaveFile(QStringLiteral("txt"), QStringLiteral("t"), QString(), nullptr, name);
  EXPECT_EQ(name, target);
  EXPECT_TRUE(QFile::exists(target));
}

TEST(ChooseOpenFile, FilterFormsAndMissingFile) {
  EXPECT_EQ(OpenFilterToQt(QStringLiteral("txt")), QStringLiteral("文本文件 (*.txt)"));
  EXPECT_EQ(OpenFilterToQt(QStringLiteral("图片文件|*.jpg;*.bmp|全部|*.*")),
            QStringLiteral("图片文件 (*.jpg *.bmp);;全部 (*.*)"));
  EXPECT_EQ(OpenFilterToQt(QString()), QString());

  QTemporaryDir dir;
  const QString real = dir.filePath(QStringLiteral("背景.jpg"));
  Touch(real);
  DialogRecorder rec;
  rec.files = {dir.filePath(QStringLiteral("gone.jpg")), QStringLiteral(" ") + real, std::nullopt,
               dir.path()};
  QString name = QStringLiteral("stale");
  ChooseOpenFile(QStringLiteral("jpg"), QStringLiteral("请选择图片"), name);
  EXPECT_TRUE(name.isEmpty());
  ASSERT_EQ(rec.log.size(), 2u);
  EXPECT_EQ(rec.log[0].filter, QStringLiteral("图像文件 (*.jpg)"));
  EXPECT_EQ(rec.log[1].type, RecordedDialog::Warning);
  EXPECT_EQ(rec.log[1].text, QStringLiteral("该文件不存在！"));

  ChooseOpenFile(QStringLiteral("jpg"), QStringLiteral("t"), name);
  EXPECT_EQ(name, real);
  ChooseOpenFile(QStringLiteral("jpg"), QStringLiteral("t"), name);
  EXPECT_TRUE(name.isEmpty());
  EXPECT_EQ(rec.log.size(), 4u);                                     // a cancel says nothing
  ChooseOpenFile(QStringLiteral("jpg"), QStringLiteral("t"), name);  // a directory is no file
  EXPECT_TRUE(name.isEmpty());
  EXPECT_EQ(rec.log.back().type, RecordedDialog::Warning);
}

TEST(QtTexts, TheFileDialogSpeaksChinese) {
  QTranslator* translator = InstallChineseQtTexts(*QCoreApplication::instance());
  ASSERT_NE(translator, nullptr);
  {
    QFileDialog dialog(nullptr, QStringLiteral("请选择文件"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    auto* lookIn = dialog.findChild<QLabel*>(QStringLiteral("lookInLabel"));
    auto* fileName = dialog.findChild<QLabel*>(QStringLiteral("fileNameLabel"));
    ASSERT_NE(lookIn, nullptr);
    ASSERT_NE(fileName, nullptr);
    EXPECT_EQ(lookIn->text(), QStringLiteral("查找范围："));
    EXPECT_EQ(fileName->text(), QStringLiteral("文件名称(&N)："));
  }
  QCoreApplication::removeTranslator(translator);
  delete translator;
}

TEST(ChooseOpenFile, TheRealDialogShowsTheFilterCaptionWithoutItsPatterns) {
  QString shown;
  OnNextModal([&shown](QWidget* w) {
    if (auto* combo = w->findChild<QComboBox*>(QStringLiteral("fileTypeCombo")))
      shown = combo->currentText();
    w->close();
  });
  QString name;
  ChooseOpenFile(QStringLiteral("图像文件(JPG/PNG/BMP)|*.[jJ][pP][gG];*.[bB][mM][pP]"),
                 QStringLiteral("请选择图像文件"), name);
  EXPECT_EQ(shown, QStringLiteral("图像文件(JPG/PNG/BMP)"));
  EXPECT_TRUE(name.isEmpty());
}

namespace {
// The text the real save dialog's file list shows in `column` for the entry `name`, once the
// folder is listed.
QString ListedText(QFileDialog* d, const QString& name, int column) {
  auto* view = d->findChild<QTreeView*>(QStringLiteral("treeView"));
  if (!view || !view->model()) return QStringLiteral("<no list>");
  QAbstractItemModel* m = view->model();
  const QModelIndex root = view->rootIndex();
  for (int r = 0; r < m->rowCount(root); ++r) {
    if (m->index(r, 0, root).data().toString() == name)
      return m->index(r, column, root).data().toString();
  }
  return QStringLiteral("<not listed>");
}
}  // namespace

TEST(QtTexts, TheRealSaveDialogListsKindsSizesAndDatesInChinese) {
  QTranslator* translator = InstallChineseQtTexts(*QCoreApplication::instance());
  ASSERT_NE(translator, nullptr);
  QTemporaryDir dir;
  ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("年会")));
  {
    QFile f(dir.filePath(QStringLiteral("名单.xlsx")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(3 * 1024, 'x'));
    ASSERT_TRUE(f.flush());
    ASSERT_TRUE(f.setFileTime(QDateTime(QDate(2026, 12, 9), QTime(21, 30)),
                              QFileDevice::FileModificationTime));
  }
  QString folderKind, fileKind, size, date, sizeHead, saveButton;
  OnNextModal([&](QWidget* w) {
    auto* d = qobject_cast<QFileDialog*>(w);
    ASSERT_NE(d, nullptr);
    EXPECT_TRUE(QTest::qWaitFor([&] {
      return ListedText(d, QStringLiteral("名单.xlsx"), 1) != QStringLiteral("<not listed>");
    }));
    folderKind = ListedText(d, QStringLiteral("年会"), 2);
    fileKind = ListedText(d, QStringLiteral("名单.xlsx"), 2);
    size = ListedText(d, QStringLiteral("名单.xlsx"), 1);
    date = ListedText(d, QStringLiteral("名单.xlsx"), 3);
    auto* view = d->findChild<QTreeView*>(QStringLiteral("treeView"));
    sizeHead = view->model()->headerData(1, Qt::Horizontal).toString();
    if (auto* box = d->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox")))
      saveButton = box->button(QDialogButtonBox::Save) ? box->button(QDialogButtonBox::Save)->text()
                                                       : box->buttons().first()->text();
    if (qEnvironmentVariableIsSet("TOMBOLIX_SAVE_DIALOG_PNG"))
      d->grab().save(qEnvironmentVariable("TOMBOLIX_SAVE_DIALOG_PNG"));
    d->reject();
  });
  QString chosen;
  EXPECT_FALSE(Dialogs().getSaveFileName(nullptr, QStringLiteral("保存中奖名单"),
                                         QStringLiteral("Excel文件 (*.xlsx)"),
                                         dir.filePath(QStringLiteral("中奖名单.xlsx")), chosen));
  EXPECT_EQ(folderKind, QStringLiteral("文件夹"));
  EXPECT_EQ(fileKind, QStringLiteral("XLSX 文件"));
  EXPECT_EQ(size, QStringLiteral("3.0 kB"));
  EXPECT_EQ(date, QStringLiteral("2026/12/9 21:30"));
  EXPECT_EQ(sizeHead, QStringLiteral("体积"));
  EXPECT_EQ(saveButton, QStringLiteral("保存(&S)"));
  QCoreApplication::removeTranslator(translator);
  delete translator;
}
