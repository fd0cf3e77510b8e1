// The entry dialog of the preset-winner editor: the operator types a candidate id, the
// dialog looks it up in the draw data file and hands back the candidate's whole line.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;
class TPresetList;

class TLuckCheatAddForm : public QDialog {
  Q_OBJECT
 public:
  explicit TLuckCheatAddForm(QWidget* parent = nullptr);

  // The id column head (GBK, trimmed), the draw data file and the list already kept, whose
  // ids are refused. Call before showing.
  void SetInputs(const std::string& idHead, const std::string& dataFilePath,
                 const TPresetList* list);
  // Judges a found line before it is chosen: false with the text to show keeps the dialog
  // open for another id.
  using Check = std::function<bool(const std::string& line, std::string& message)>;
  void SetCheck(Check check) { m_check = std::move(check); }
  // The chosen candidate line (GBK); empty when nothing was chosen.
  const std::string& Output() const { return m_output; }

  QLabel* LInputName;
  QLineEdit* EdtInPut;
  QPushButton* BOK;
  QPushButton* BCancel;

 public slots:
  void FormShow();
  void BOKClick();
  void BCancelClick();

 protected:
  void showEvent(QShowEvent* e) override;

 private:
  std::string m_idHead;
  std::string m_dataFilePath;
  const TPresetList* m_list = nullptr;
  Check m_check;
  std::string m_output;
};
