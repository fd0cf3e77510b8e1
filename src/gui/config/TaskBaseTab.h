// The 基本配置 tab of the configuration window: the settings of one draw task as the operator
// types them. The rules live in config/TaskSettings; the tab fills its fields from a task,
// hands them to the rules as typed, and shows what the rules filled in.
#pragma once

#include <QStringList>
#include <QWidget>

#include "core/config/TaskRollStyle.h"
#include "core/config/TaskSettings.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TTaskRulesBox;

class TTaskBaseTab : public QWidget {
  Q_OBJECT
 public:
  explicit TTaskBaseTab(QWidget* parent = nullptr);

  // The fields of a new task: empty, font size 36, white, drawn from imported data.
  void Reset();
  // The fields of a stored task (its data status is shown by ShowDataFlag).
  void Fill(const TLuckTask& task);
  // The fields as typed, for the task `taskId` (0: a new one).
  config::TTaskSettings Settings(int32_t taskId) const;
  // Shows what a save filled in (font size, hide positions, the id).
  void ShowFilledIn(const config::TTaskSettings& s);
  // The panels and texts of the chosen draw type; true when it draws from imported data.
  bool ShowDrawType();
  bool ByProbability() const;
  TIdType ChosenIdType() const;
  // 抽奖动画: 滚动号码 or 名单球, stored apart from the task's row (config/TaskRollStyle).
  TRollStyle ChosenRollStyle() const;
  // The status field and the hidden path of the task's draw data.
  void ShowDataFlag(config::DataState state, const QString& importedPath);
  // Puts the focus into the field a refused save names; false for none.
  bool Focus(config::TaskField field);
  // Everything the operator can change, to tell unsaved edits.
  QStringList State() const;

  QLineEdit* EdtTaskId;
  QLineEdit* EdtTaskName;
  QLineEdit* EdtMainTitle;
  QLineEdit* EdtFontSize;
  QWidget* UpDown1;
  QComboBox* CLBColor;
  QComboBox* CBOrderBy;
  QCheckBox* CKShowLuck;
  QWidget* PData;
  QComboBox* CBLuckAgain;
  QComboBox* CBIdType;
  QPushButton* BtnStageKeys;  // 大屏按键: opens the times of the stage's keys
  QPushButton* BtnAutoRelay;  // 接力包: the folder each reveal's relay package goes to
  QComboBox* CBRollStyle;
  QWidget* PProb;
  QLineEdit* EProb;
  QLabel* LShow;
  QLineEdit* EdtRemainText;
  QLineEdit* EdtMainImage;
  QPushButton* SpSelectImage;
  QLineEdit* EdtMusicFilePath;
  QPushButton* SpSelectMusic;
  QWidget* PHide;
  QLineEdit* EdtHideBegin;
  QLineEdit* EdtHideEnd;
  QPushButton* BtnStageColumns;  // 大屏显示列: opens the choice of the columns the stage shows
  QLineEdit* EdtPassWord;
  QLineEdit* EdtDataFilePath;
  QLineEdit* EdtDateFlag;
  QLabel* Label16;
  QLabel* LDesc;
  TTaskRulesBox* GBTaskRules;
  QPushButton* BtnSaveBase;
  QPushButton* BtnCancelBase;
  QPushButton* BtnCloseBase;

 signals:
  void stageColumnsAsked();
  void stageKeysAsked();
  void autoRelayAsked();

 public slots:
  void SpSelectImageClick();
  void SpSelectMusicClick();

 private:
  void StepFontSize(int delta);
};
