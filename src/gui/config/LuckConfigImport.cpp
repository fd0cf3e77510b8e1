// The import of the "抽奖数据导入" tab: asks, then runs the core import while the log and the
// progress bar repaint as it goes, and shows the data status the import leaves.
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

#include "core/db/TombolixDM.h"
#include "core/import/ImportTask.h"
#include "core/text/Paths.h"
#include "core/text/Text.h"
#include "gui/config/ImportTab.h"
#include "gui/config/PhotoImport.h"
#include "gui/config/TypeChoice.h"
#include "gui/ui/Dialogs.h"
#include "gui/ui/Qt.h"

namespace {

// The busy cursor from here to every way out.
struct BusyCursor {
  BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~BusyCursor() { QApplication::restoreOverrideCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace

void TImportTab::BtnSaveDataClick() {
  const int32_t shown = m_host->ShownTaskId();
  if (shown <= 0 || !TombolixDataModule) return;
  const std::string taskId = std::to_string(shown);
  // Only a list already there is overwritten: the first import asks nothing.
  if (paths::FileExists(paths::DrawDataPath(shown)) &&
      AskYesNo(QStringLiteral("导入数据将会覆盖原有数据，是否继续？")) != Answer::Yes)
    return;
  MLog->clear();
  const TIdType idType = m_host->ChosenIdType();
  const auto kind = CBFileType->currentIndex() == 0 ? dataimport::SourceKind::Text
                                                    : dataimport::SourceKind::Spreadsheet;

  // Repaint, but take no input while the import runs: nothing may start a second one or
  // close the window under it.
  QElapsedTimer sincePaint;
  sincePaint.start();
  const auto repaint = [&sincePaint](bool now) {
    if (now || sincePaint.elapsed() >= 40) {
      QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
      sincePaint.restart();
    }
  };
  dataimport::Callbacks cb;
  cb.log = [&](const std::string& line) {
    MLog->appendPlainText(Q(line));
    repaint(false);
  };
  cb.progress = [&](int position) {
    PrgBar->setMaximum(dataimport::kProgressMax);
    PrgBar->setValue(position);
    repaint(false);
  };
  dataimport::Outcome outcome;
  {
    BusyCursor busy;
    outcome = dataimport::ImportForTask(TombolixDataModule->ARryPub, taskId,
                                        FromQ(EdtFileName->text()), kind, idType, cb);
  }
  if (!outcome.ran) return;
  if (outcome.imported) {
    m_host->DataImportedAs(Q(outcome.targetPath));
  } else if (!outcome.targetPath.empty()) {
    m_host->DataFileKept();
  }
  if (!outcome.targetPath.empty() && !EdtPhotoDir->text().trimmed().isEmpty())
    ImportPhotosAfter(outcome.targetPath);
  // A failed import changed nothing, so the task keeps the data status it had.
  if (!outcome.message.empty()) ShowMessageBox(outcome.messageKind, outcome.message);
}

void TImportTab::ImportPhotosAfter(const std::string& gbkDataFile) {
  // The list is in; its winners' photos follow it. A failure here keeps the list.
  TPhotoImportResult result;
  std::string error;
  bool ok = false;
  {
    BusyCursor busy;
    ok = ImportPhotos(
        m_host->ShownTaskId(), EdtPhotoDir->text().trimmed(), gbkDataFile,
        [this](const QString& line) {
          MLog->appendPlainText(line);
          QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        },
        result, error, [] { QApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
  }
  if (!ok) {
    MLog->appendPlainText(QStringLiteral("照片导入出错,") + Q(error));
    ShowMessageBox(MessageKind::Error, error);
  }
}
