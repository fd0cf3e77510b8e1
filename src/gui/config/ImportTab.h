// The 抽奖数据导入 tab of the configuration window: the choice of a candidate list, its import
// into the shown task, and the log and progress of the import.
#pragma once

#include <QWidget>
#include <cstdint>

#include "core/config/TaskSettings.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

// What the import reads of the task the configuration window shows, and what it tells it.
class TImportTabHost {
 public:
  virtual ~TImportTabHost() = default;
  // The task shown, 0 while a new one is typed.
  virtual int32_t ShownTaskId() const = 0;
  // The id type chosen in 基本配置, saved or not.
  virtual TIdType ChosenIdType() const = 0;
  // The list was imported into `path` and the path stored.
  virtual void DataImportedAs(const QString& path) = 0;
  // The list is in place but its path could not be stored: the status texts stay.
  virtual void DataFileKept() = 0;
};

class TImportTab : public QWidget {
  Q_OBJECT
 public:
  explicit TImportTab(TImportTabHost& host, QWidget* parent = nullptr);

  // No file, no log, the status of no data, both buttons off.
  void Reset();
  // The status line of the task's draw data.
  void ShowDataLabel(config::DataState state);
  // The import is offered for a task drawn from imported data only.
  void EnableImport(bool on);

  QLabel* LBData;
  QComboBox* CBFileType;
  QLineEdit* EdtFileName;
  QPushButton* SpFileData;
  // A folder of the winners' photos, named after the ids; copied with the list.
  QLineEdit* EdtPhotoDir;
  QPushButton* SpPhotoDir;
  QPlainTextEdit* MLog;
  QProgressBar* PrgBar;
  QPushButton* BtnSaveData;
  QPushButton* BtnCancelData;
  QPushButton* BtnCloseData;

 public slots:
  void SpFileDataClick();
  void SpPhotoDirClick();
  void BtnCancelDataClick();
  // The import (config/LuckConfigImport.cpp).
  void BtnSaveDataClick();

 private:
  void ImportPhotosAfter(const std::string& gbkDataFile);

  TImportTabHost* m_host;
};
