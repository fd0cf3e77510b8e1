// The about window: product caption, version and two contact fields that read as links.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QFrame;

class TAboutForm : public QDialog {
  Q_OBJECT
 public:
  TAboutForm(const QString& caption, const QString& version, QWidget* parent = nullptr);

  QLabel* Image1;
  QLabel* LbSoftName;
  QLabel* Label1;
  QLabel* LVec;
  QLabel* Label3;
  QLineEdit* EdtMail;
  QLabel* Label5;
  QLineEdit* EUrl;
  QFrame* Bevel1;
  QPushButton* BtnOk;

  // The address a click on a contact field hands to the desktop.
  static QUrl ContactUrl(const QString& contact);

 public slots:
  void EdtMailClick();
  void EUrlClick();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};
