#include "gui/config/TaskBaseTab.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QToolButton>

#include "core/records/Colour.h"
#include "core/text/Text.h"
#include "gui/config/ConfigWidgets.h"
#include "gui/config/RulesBoxes.h"
#include "gui/config/TypeChoice.h"
#include "gui/ui/DesignLayout.h"
#include "gui/ui/FileDialogs.h"
#include "gui/ui/Fonts.h"
#include "gui/ui/Qt.h"

namespace {

// What the colour list shows for each named colour.
QString ColourCaption(const char* name) {
  static const std::pair<const char*, const char*> kNames[] = {
      {"clBlack", "黑色"},   {"clMaroon", "栗色"},       {"clGreen", "绿色"},
      {"clOlive", "橄榄色"}, {"clNavy", "藏青色"},       {"clPurple", "紫色"},
      {"clTeal", "蓝绿色"},  {"clGray", "灰色"},         {"clSilver", "银色"},
      {"clRed", "红色"},     {"clLime", "亮绿色"},       {"clYellow", "黄色"},
      {"clBlue", "蓝色"},    {"clFuchsia", "紫红色"},    {"clAqua", "青色"},
      {"clWhite", "白色"},   {"clMoneyGreen", "淡绿色"}, {"clSkyBlue", "天蓝色"},
      {"clCream", "乳白色"}, {"clMedGray", "中灰色"},
  };
  for (const auto& [n, caption] : kNames) {
    if (qstrcmp(n, name) == 0) return QString::fromUtf8(caption);
  }
  return QString::fromLatin1(name);
}

QIcon Swatch(QRgb rgb) {
  QPixmap pm(24, 12);
  pm.fill(QColor(rgb));
  QPainter p(&pm);
  p.setPen(Qt::black);
  p.drawRect(0, 0, pm.width() - 1, pm.height() - 1);
  return QIcon(pm);
}

}  // namespace

TTaskBaseTab::TTaskBaseTab(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("TSBase"));
  auto* digits = new config::DigitKeyFilter(this);
  // 基本配置: labels right-aligned in one column, fields from x = 148.
  QWidget* b = this;
  const int lx = 4, lw = 140, fx = 148, fw = 350;
  DesignLabel(b, QStringLiteral("抽奖任务名称："), lx, 12, lw);
  EdtTaskName = DesignEdit(b, "EdtTaskName", fx, 12, fw);
  DesignLabel(b, QStringLiteral("抽奖显示标题："), lx, 40, lw);
  EdtMainTitle = DesignEdit(b, "EdtMainTitle", fx, 40, fw);
  DesignLabel(b, QStringLiteral("标题字体大小："), lx, 68, lw);
  EdtFontSize = DesignEdit(b, "EdtFontSize", fx, 68, 40);
  EdtFontSize->setMaxLength(2);
  EdtFontSize->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d{0,2}")), EdtFontSize));
  UpDown1 = new QWidget(b);
  UpDown1->setObjectName(QStringLiteral("UpDown1"));
  UpDown1->setGeometry(fx + 40, 68, 16, 21);
  for (int k = 0; k < 2; ++k) {
    auto* arrow = new QToolButton(UpDown1);
    arrow->setObjectName(k == 0 ? QStringLiteral("UpDown1Up") : QStringLiteral("UpDown1Down"));
    arrow->setArrowType(k == 0 ? Qt::UpArrow : Qt::DownArrow);
    arrow->setGeometry(0, k * 10 + (k ? 1 : 0), 16, 10);
    arrow->setFocusPolicy(Qt::NoFocus);
    arrow->setAutoRepeat(true);
    connect(arrow, &QToolButton::clicked, this, [this, k] { StepFontSize(k == 0 ? 1 : -1); });
  }
  DesignLabel(b, QStringLiteral("抽奖界面字体颜色："), 210, 68, 120);
  CLBColor = new QComboBox(b);
  CLBColor->setObjectName(QStringLiteral("CLBColor"));
  CLBColor->setGeometry(334, 68, 164, 22);
  CLBColor->setIconSize(QSize(24, 12));
  CLBColor->setMaxVisibleItems(20);
  for (const NamedColour& c : NamedColours())
    CLBColor->addItem(Swatch(c.rgb), ColourCaption(c.name), QString::fromLatin1(c.name));
  DesignLabel(b, QStringLiteral("抽奖类型："), lx, 96, lw);
  CBOrderBy =
      DesignCombo(b, "CBOrderBy", {QStringLiteral("按导入数据抽奖"), QStringLiteral("按概率抽奖")},
                  fx, 96, 150);
  CKShowLuck = new QCheckBox(QStringLiteral("抽奖界面显示中奖名单"), b);
  CKShowLuck->setObjectName(QStringLiteral("CKShowLuck"));
  CKShowLuck->setGeometry(334, 96, 164, 22);

  PData = new QWidget(b);
  PData->setObjectName(QStringLiteral("PData"));
  PData->setGeometry(0, 124, 517, 50);
  DesignLabel(PData, QStringLiteral("是否重复中奖："), lx, 0, lw);
  CBLuckAgain = DesignCombo(
      PData, "CBLuckAgain",
      {QStringLiteral("奖项间不重复中奖"), QStringLiteral("奖项间可重复中奖")}, fx, 0, 150);
  // Right of the usual column: 奖项间不重复中奖 needs the whole width of its combo.
  DesignLabel(PData, QStringLiteral("抽奖动画："), 304, 0, 72);
  CBRollStyle = DesignCombo(PData, "CBRollStyle",
                            {QStringLiteral("滚动号码"), QStringLiteral("名单球")}, 380, 0, 118);
  DesignLabel(PData, QStringLiteral("导入数据类型："), lx, 28, lw);
  // Narrower than the combos above it: its label and 大屏按键's share the row.
  CBIdType = DesignCombo(PData, "CBIdType", {QStringLiteral("数字"), QStringLiteral("非数字")}, fx,
                         28, 106);
  DesignLabel(PData, QStringLiteral("大屏按键："), 258, 28, 72);
  BtnStageKeys = DesignButton(PData, "BtnStageKeys", QStringLiteral("按键时间..."), 334, 27, 80);
  BtnAutoRelay = DesignButton(PData, "BtnAutoRelay", QStringLiteral("接力包..."), 418, 27, 80);
  BtnAutoRelay->setToolTip(QStringLiteral("每批揭晓后自动写接力包到选定的文件夹"));
  BtnStageKeys->setToolTip(
      QStringLiteral("揭晓后多久开始键才算数、号码至少滚动多久（防止翻页笔连按）"));
  PProb = new QWidget(b);
  PProb->setObjectName(QStringLiteral("PProb"));
  PProb->setGeometry(0, 124, 517, 24);
  DesignLabel(PProb, QStringLiteral("中奖概率值："), lx, 0, lw);
  EProb = DesignEdit(PProb, "EProb", fx, 0, 150);
  EProb->setMaxLength(8);

  LDesc = new QLabel(b);
  LDesc->setObjectName(QStringLiteral("LDesc"));
  LDesc->setGeometry(24, 182, 474, 34);
  LDesc->setWordWrap(true);
  MakeBlue(LDesc);
  Label16 = new QLabel(QStringLiteral("以下为可选配置："), b);
  Label16->setObjectName(QStringLiteral("Label16"));
  Label16->setGeometry(24, 220, 200, 18);
  MakeBlue(Label16);

  LShow = DesignLabel(b, QStringLiteral("抽奖时提示信息："), lx, 244, lw);
  LShow->setObjectName(QStringLiteral("LShow"));
  EdtRemainText = DesignEdit(b, "EdtRemainText", fx, 244, fw);
  DesignLabel(b, QStringLiteral("背景图案："), lx, 272, lw);
  EdtMainImage = DesignEdit(b, "EdtMainImage", fx, 272, fw - 72);
  SpSelectImage =
      DesignButton(b, "SpSelectImage", QStringLiteral("选择..."), fx + fw - 68, 270, 68);
  DesignLabel(b, QStringLiteral("背景音乐："), lx, 300, lw);
  EdtMusicFilePath = DesignEdit(b, "EdtMusicFilePath", fx, 300, fw - 72);
  SpSelectMusic =
      DesignButton(b, "SpSelectMusic", QStringLiteral("选择..."), fx + fw - 68, 298, 68);

  PHide = new QWidget(b);
  PHide->setObjectName(QStringLiteral("PHide"));
  PHide->setGeometry(0, 328, 517, 52);
  DesignLabel(PHide, QStringLiteral("抽奖序号隐藏起始位置："), lx, 0, lw);
  EdtHideBegin = DesignEdit(PHide, "EdtHideBegin", fx, 0, 40);
  EdtHideBegin->setMaxLength(2);
  DesignLabel(PHide, QStringLiteral("抽奖序号隐藏截至位置："), 194, 0, lw);
  EdtHideEnd = DesignEdit(PHide, "EdtHideEnd", 338, 0, 40);
  EdtHideEnd->setMaxLength(2);
  BtnStageColumns =
      DesignButton(PHide, "BtnStageColumns", QStringLiteral("大屏显示列..."), 386, 0, 112);
  BtnStageColumns->setToolTip(QStringLiteral("选择抽奖大屏显示名单的哪些列，以及遮盖哪些列"));
  EdtDateFlag = DesignEdit(PHide, "EdtDateFlag", fx, 28, fw);
  EdtDateFlag->setReadOnly(true);
  EdtDateFlag->setFocusPolicy(Qt::NoFocus);
  QPalette grey = EdtDateFlag->palette();
  grey.setColor(QPalette::Base, palette().color(QPalette::Window));
  EdtDateFlag->setPalette(grey);

  // Kept for the rules, never shown.
  EdtTaskId = DesignEdit(b, "EdtTaskId", 0, 0, 10);
  EdtPassWord = DesignEdit(b, "EdtPassWord", 0, 0, 10);
  EdtPassWord->setMaxLength(6);
  EdtPassWord->setEchoMode(QLineEdit::Password);
  EdtDataFilePath = DesignEdit(b, "EdtDataFilePath", 0, 0, 10);
  for (QLineEdit* hidden : {EdtTaskId, EdtPassWord, EdtDataFilePath}) hidden->hide();

  GBTaskRules = new TTaskRulesBox(b);
  GBTaskRules->setGeometry(4, 382, 506, 144);

  const int by = 420 + config::kRulesRoom;
  BtnSaveBase = DesignButton(b, "BtnSaveBase", QStringLiteral("保存(&S)"), 258, by, 75);
  BtnCancelBase = DesignButton(b, "BtnCancelBase", QStringLiteral("取消(&C)"), 341, by, 75);
  BtnCloseBase = DesignButton(b, "BtnCloseBase", QStringLiteral("返回(&R)"), 424, by, 75);

  for (QLineEdit* e : {EdtHideBegin, EdtHideEnd, EProb}) e->installEventFilter(digits);
  connect(CBOrderBy, &QComboBox::currentIndexChanged, this, [this] { ShowDrawType(); });
  connect(SpSelectImage, &QPushButton::clicked, this, &TTaskBaseTab::SpSelectImageClick);
  connect(SpSelectMusic, &QPushButton::clicked, this, &TTaskBaseTab::SpSelectMusicClick);
  connect(BtnStageColumns, &QPushButton::clicked, this, &TTaskBaseTab::stageColumnsAsked);
  connect(BtnStageKeys, &QPushButton::clicked, this, &TTaskBaseTab::stageKeysAsked);
  connect(BtnAutoRelay, &QPushButton::clicked, this, &TTaskBaseTab::autoRelayAsked);
}

void TTaskBaseTab::Reset() {
  for (QLineEdit* e :
       {EdtTaskId, EdtTaskName, EdtMainTitle, EdtRemainText, EdtMainImage, EdtHideBegin, EdtHideEnd,
        EdtPassWord, EdtDataFilePath, EdtMusicFilePath, EProb})
    e->clear();
  EdtFontSize->setText(QStringLiteral("36"));
  EdtDateFlag->setText(QStringLiteral("未导入"));
  // Drop a stored colour the list did not name, offered for the task shown before.
  while (CLBColor->count() > static_cast<int>(NamedColours().size()))
    CLBColor->removeItem(CLBColor->count() - 1);
  CLBColor->setCurrentIndex(config::WhiteColourIndex());
  CBRollStyle->setCurrentIndex(0);
  config::ShowDrawType(CBOrderBy, TDrawType::FromData);
  CBLuckAgain->setCurrentIndex(0);
  config::ShowIdType(CBIdType, TIdType::Numeric);
  CKShowLuck->setChecked(true);
  // A new task starts with no rules: nothing of the task shown before stays behind, not even
  // an exclusion list read from a file.
  GBTaskRules->SetChoices(nullptr, {});
  GBTaskRules->ShowRules(TTaskRules{});
  GBTaskRules->CBHideExcludeCount->setChecked(false);
  ShowDrawType();
}

void TTaskBaseTab::Fill(const TLuckTask& t) {
  EdtTaskId->setText(QString::number(t.TaskId));
  EdtTaskName->setText(Q(t.TaskName));
  EdtMainTitle->setText(Q(t.MainTitle));
  EdtFontSize->setText(QString::number(t.FontSize));
  EdtRemainText->setText(Q(t.RemainText));
  EdtMainImage->setText(Q(t.MainImageName));
  EdtHideEnd->setText(QString::number(t.HideEnd));
  EdtPassWord->setText(Q(t.PassWd));
  EdtMusicFilePath->setText(Q(t.MusicFilePath));
  EdtHideBegin->setText(QString::number(t.HideBegin));
  EProb->setText(QString::number(t.HideBegin));
  config::ShowFromStart({EdtTaskName, EdtMainTitle, EdtRemainText, EdtMainImage, EdtMusicFilePath});
  auto pick = [](QComboBox* c, int index) {
    c->setCurrentIndex(index >= 0 && index < c->count() ? index : -1);
  };
  config::ShowIdType(CBIdType, t.IdType);
  config::ShowDrawType(CBOrderBy, t.OrderBy);
  pick(CBLuckAgain, t.LuckAgain);
  TRollStyle style = TRollStyle::Numbers;
  std::string ignored;  // unreadable: the default, which a save then stores
  config::LoadRollStyle(t.TaskId, style, ignored);
  CBRollStyle->setCurrentIndex(style == TRollStyle::Sphere ? 1 : 0);
  CKShowLuck->setChecked(t.ShowLuck != 1);
  const int colour = config::ColourListIndex(t.FontColor);
  if (colour >= 0) {
    CLBColor->setCurrentIndex(colour);
  } else {
    // A colour the list does not name is offered as stored, so saving keeps it.
    uint32_t rgb = 0xFFFFFF;
    ColourFromName(t.FontColor, rgb);
    CLBColor->addItem(Swatch(rgb), Q(t.FontColor), Q(text::Trim(t.FontColor)));
    CLBColor->setCurrentIndex(CLBColor->count() - 1);
  }
}

config::TTaskSettings TTaskBaseTab::Settings(int32_t taskId) const {
  config::TTaskSettings s;
  s.TaskId = taskId > 0 ? std::to_string(taskId) : std::string();
  s.TaskName = FromQ(EdtTaskName->text());
  s.MainTitle = FromQ(EdtMainTitle->text());
  s.FontSize = FromQ(EdtFontSize->text());
  s.FontColor = FromQ(CLBColor->currentData().toString());
  s.OrderBy = config::ChosenDrawType(CBOrderBy);
  s.ShowLuck = CKShowLuck->isChecked();
  s.LuckAgain = CBLuckAgain->currentIndex();
  s.IdType = config::ChosenIdType(CBIdType);
  s.Prob = FromQ(EProb->text());
  s.RemainText = FromQ(EdtRemainText->text());
  s.MainImage = FromQ(EdtMainImage->text());
  s.MusicFilePath = FromQ(EdtMusicFilePath->text());
  s.HideBegin = FromQ(EdtHideBegin->text());
  s.HideEnd = FromQ(EdtHideEnd->text());
  s.PassWord = FromQ(EdtPassWord->text());
  s.DataFilePath = FromQ(EdtDataFilePath->text());
  return s;
}

void TTaskBaseTab::ShowFilledIn(const config::TTaskSettings& s) {
  EdtFontSize->setText(Q(s.FontSize));
  EdtHideBegin->setText(Q(s.HideBegin));
  EdtHideEnd->setText(Q(s.HideEnd));
  EdtTaskId->setText(Q(s.TaskId));
}

bool TTaskBaseTab::ShowDrawType() {
  const bool byData = config::ChosenDrawType(CBOrderBy) != TDrawType::ByProbability;
  PData->setVisible(byData);
  PProb->setVisible(!byData);
  PHide->setVisible(byData);
  CKShowLuck->setVisible(byData);
  GBTaskRules->setVisible(byData);
  LDesc->setText(
      byData ? QStringLiteral("选择”按导入数据抽奖”时，在抽奖前要导入抽奖的数据范围，如：手机号或"
                              "姓名信息等")
             : QStringLiteral("选择“按概率抽奖”时，要输入概率值，如：1000表示配置的奖项抽到需要1000"
                              "次抽奖的概率"));
  LShow->setText(byData ? QStringLiteral("抽奖时提示信息：") : QStringLiteral("未中奖提示信息："));
  return byData;
}

bool TTaskBaseTab::ByProbability() const {
  return config::ChosenDrawType(CBOrderBy) == TDrawType::ByProbability;
}

TRollStyle TTaskBaseTab::ChosenRollStyle() const {
  return CBRollStyle->currentIndex() == 1 ? TRollStyle::Sphere : TRollStyle::Numbers;
}

TIdType TTaskBaseTab::ChosenIdType() const {
  // No choice imports as numeric ids, the stricter rule.
  return config::ChosenIdType(CBIdType).value_or(TIdType::Numeric);
}

void TTaskBaseTab::ShowDataFlag(config::DataState state, const QString& importedPath) {
  EdtDateFlag->setText(Q(config::DataFlagText(state)));
  EdtDataFilePath->setText(importedPath);
}

bool TTaskBaseTab::Focus(config::TaskField field) {
  QWidget* w = nullptr;
  switch (field) {
    case config::TaskField::TaskName:
      w = EdtTaskName;
      break;
    case config::TaskField::FontSize:
      w = EdtFontSize;
      break;
    case config::TaskField::OrderBy:
      w = CBOrderBy;
      break;
    case config::TaskField::Prob:
      w = EProb;
      break;
    case config::TaskField::HideBegin:
      w = EdtHideBegin;
      break;
    case config::TaskField::HideEnd:
      w = EdtHideEnd;
      break;
    case config::TaskField::IdType:
      w = CBIdType;
      break;
    case config::TaskField::LuckAgain:
      w = CBLuckAgain;
      break;
    case config::TaskField::None:
      break;
  }
  if (!w) return false;
  w->setFocus();
  return true;
}

QStringList TTaskBaseTab::State() const {
  QStringList s;
  for (const QLineEdit* e : {EdtTaskName, EdtMainTitle, EdtFontSize, EProb, EdtRemainText,
                             EdtMainImage, EdtMusicFilePath, EdtHideBegin, EdtHideEnd})
    s << e->text();
  for (const QComboBox* c : {CLBColor, CBOrderBy, CBLuckAgain, CBIdType, CBRollStyle})
    s << QString::number(c->currentIndex());
  s << QString::number(CKShowLuck->isChecked());
  s << GBTaskRules->State();
  return s;
}

void TTaskBaseTab::SpSelectImageClick() {
  QString chosen;
  ChooseOpenFile(config::ImageFilter(), QStringLiteral("请选择图像文件(1024×768)"), chosen);
  EdtMainImage->setText(chosen);
}

void TTaskBaseTab::SpSelectMusicClick() {
  QString chosen;
  ChooseOpenFile(config::MusicFilter(), QStringLiteral("请选择音频文件(mp3或wma)"), chosen);
  EdtMusicFilePath->setText(chosen);
}

void TTaskBaseTab::StepFontSize(int delta) {
  bool ok = false;
  const int now = EdtFontSize->text().toInt(&ok);
  EdtFontSize->setText(QString::number(qBound(10, (ok ? now : 10) + delta, 99)));
}
