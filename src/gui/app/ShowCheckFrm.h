// 开场前检查: the window that lists, for one task, what the night depends on, each with a
// tick or a warning in plain words. It changes nothing.
#pragma once

#include <QDialog>
#include <QStringList>
#include <vector>

#include "core/check/ShowCheck.h"

class QPushButton;
class TCheckinService;
class QLabel;
class QTreeWidget;
class QWidget;

// The findings the window system answers: the pictures opened, the fonts looked up in
// `installedFonts`, the screens (and the one a draw opened from `owner` takes).
std::vector<check::TFinding> WindowFindings(const check::TShowCheck& files,
                                            const QStringList& installedFonts,
                                            const QWidget* owner);

class TShowCheckForm : public QDialog {
  Q_OBJECT
 public:
  explicit TShowCheckForm(QWidget* parent = nullptr);

  // Runs every check for the task; false (with the message shown) when it cannot be read.
  // `installedFonts` empty: the faces installed here.
  bool Check(int32_t taskId, const QString& taskName, QStringList installedFonts = {});
  // The program's check-in, asked for a task whose draw takes only those checked in; none
  // means check-in has not started.
  void SetCheckin(const TCheckinService* service) { m_checkin = service; }
  const std::vector<check::TFinding>& Findings() const { return m_findings; }
  int Warnings() const;

  QLabel* LbSummary;
  QTreeWidget* TVFindings;
  QPushButton* BtnNotice;
  QPushButton* BtnClose;

 public slots:
  // 公示单…: asks where to save the notice's PDF and writes it with its pictures beside it.
  void BtnNoticeClick();

 private:
  std::vector<check::TFinding> m_findings;
  int32_t m_taskId = 0;
  const TCheckinService* m_checkin = nullptr;
};
