// 音效, the tab of the configuration window for the show's sounds: one row per cue (滚动音乐,
// 停止音, 揭晓音乐, 大奖揭晓, 结束掌声) and one per prize item for its own piece, each with its
// file, its volume, 试听 and 清除. What the rows say is the task's TSoundSettings; the window
// saves it with config::SaveTaskSounds.
#pragma once

#include <QWidget>
#include <vector>

#include "core/draw/SoundCues.h"
#include "core/records/Records.h"

class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

class TSoundTab : public QWidget {
  Q_OBJECT
 public:
  explicit TSoundTab(QWidget* parent = nullptr);

  // Shows the sounds of `task` and rows for its `items`; null shows empty rows for a task
  // not saved yet. A sound setting that does not read shows the task's music as before.
  void Load(const TLuckTask* task, const TArrLuckItem& items);
  // A task drawn by probability has one piece for its screen (the roll loop's row, its
  // 背景音乐); the other rows are for a draw from data and are shut otherwise.
  void ShowDrawType(bool byData);
  // What the rows say now.
  TSoundSettings Settings() const;
  // The rows differ from what was loaded.
  bool Edited() const { return Settings() != m_loaded; }

  QPushButton* BtnSaveSound;
  QPushButton* BtnCancelSound;
  QPushButton* BtnCloseSound;

  // One cue's row.
  struct Row {
    TSoundPlay cue;
    QLabel* name = nullptr;
    QLineEdit* path = nullptr;
    QPushButton* choose = nullptr;
    QSpinBox* volume = nullptr;
    QPushButton* listen = nullptr;
    QPushButton* clear = nullptr;
    bool builtIn = false;  // the program's fanfare, shown without a path
  };
  const std::vector<Row>& Rows() const { return m_rows; }
  // The row of `cue` (of item `itemId` for a piece); null when there is none.
  const Row* RowOf(TSoundCue cue, int32_t itemId = 0) const;

 private:
  void AddRow(const TSoundPlay& cue, const QString& name);
  void Show(Row& row, const TCueSound& sound);
  TCueSound SoundOf(const Row& row) const;
  void Choose(size_t row);
  void Clear(size_t row);

  void ShutRows();

  QLabel* m_intro;
  bool m_byData = true;
  QGridLayout* m_grid;
  QWidget* m_rowsArea;
  std::vector<Row> m_rows;
  TSoundSettings m_loaded;
};
