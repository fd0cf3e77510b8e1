// The program's own help page, shown when no Help.chm stands beside the program.
#pragma once

#include <QDialog>

class QTextBrowser;

class THelpForm : public QDialog {
  Q_OBJECT
 public:
  explicit THelpForm(QWidget* parent = nullptr);
  QTextBrowser* Browser;
};
