#include "config/LuckConfigFrm.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QSignalBlocker>
#include <QStyle>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <initializer_list>

#include "config/TypeChoice.h"
#include "draw/Colour.h"
#include "text/Gbk.h"
#include "text/Text.h"
#include "ui/Dialogs.h"
#include "ui/FileDialogs.h"
#include "ui/Fonts.h"
#include "ui/Qt.h"

namespace {

const QColor kBlue(0, 0, 255);
const QColor kRed(255, 0, 0);

// Patterns that match an extension in any letter case: a case-sensitive file system must
// find photo.jpg as well as PHOTO.JPG.
QString AnyCase(const QString& ext) {
  QString out = QStringLiteral("*.");
  for (QChar c : ext) {
    if (c.isLetter())
      out += QLatin1Char('[') + c.toLower() + c.toUpper() + QLatin1Char(']');
    else
      out += c;
  }
  return out;
}

QString ImageFilter() {
  return QStringLiteral("图像文件(JPG/JPGE/BMP)|") + AnyCase(QStringLiteral("jpg")) + ';' +
         AnyCase(QStringLiteral("jpeg")) + ';' + AnyCase(QStringLiteral("bmp"));
}

QString MusicFilter() {
  return QStringLiteral("音频文件(mp3/wma)|") + AnyCase(QStringLiteral("mp3")) + ';' +
         AnyCase(QStringLiteral("wma"));
}

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

// Discards the characters the number fields do not take; keys that type nothing (arrows,
// Delete, Tab, Esc) pass, and so do Ctrl shortcuts: without Ctrl+A an operator who means to
// replace "1000" by "10" types "100010". Pasted non-digits are caught on save.
class DigitKeyFilter : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress) {
      const auto* key = static_cast<QKeyEvent*>(event);
      const QString t = key->text();
      if (t.size() == 1 && !key->modifiers().testFlag(Qt::ControlModifier)) {
        const char32_t c = t[0].unicode();
        const bool typing = c >= 32 ? c != 127 : (c != 9 && c != 27);
        if (typing && !config::DigitKeyPasses(c)) return true;
      }
    }
    return QObject::eventFilter(watched, event);
  }
};

// A loaded value is shown from its first character: setText leaves the cursor at the end,
// and a long title or path would show only its tail.
void ShowFromStart(std::initializer_list<QLineEdit*> edits) {
  for (QLineEdit* e : edits) e->setCursorPosition(0);
}

}  // namespace

TLuckConfigForm::TLuckConfigForm(TTaskListHost* host)
    : QDialog(host ? host->HostWindow() : nullptr), m_host(host) {
  setObjectName(QStringLiteral("LuckConfigForm"));
  setWindowTitle(QStringLiteral("抽奖配置"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFont(UiFont(QStringLiteral("宋体"), 12));
  // 723 x 526 with the frame.
  setFixedSize(715, 496);

  auto* digits = new DigitKeyFilter(this);
  auto label = [](QWidget* parent, const QString& t, int x, int y, int w) {
    auto* l = new QLabel(t, parent);
    l->setGeometry(x, y, w, 21);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return l;
  };
  auto edit = [](QWidget* parent, const char* name, int x, int y, int w) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setGeometry(x, y, w, 21);
    return e;
  };
  auto button = [](QWidget* parent, const char* name, const QString& t, int x, int y, int w) {
    auto* b = new QPushButton(t, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(x, y, w, 25);
    b->setCursor(Qt::PointingHandCursor);
    // Enter in a field must not press whichever button comes first (新增抽奖 would drop the
    // edits).
    b->setAutoDefault(false);
    return b;
  };
  auto combo = [](QWidget* parent, const char* name, const QStringList& items, int x, int y,
                  int w) {
    auto* c = new QComboBox(parent);
    c->setObjectName(QString::fromLatin1(name));
    c->addItems(items);
    c->setGeometry(x, y, w, 22);
    return c;
  };
  auto blue = [](QLabel* l) {
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, kBlue);
    l->setPalette(p);
  };

  // Task tree.
  Panel1 = new QLabel(QStringLiteral("抽奖任务列表："), this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setGeometry(4, 4, 180, 22);
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
  Panel1->setIndent(4);
  LuckTaskTV = new QTreeWidget(this);
  LuckTaskTV->setObjectName(QStringLiteral("LuckTaskTV"));
  LuckTaskTV->setGeometry(4, 28, 180, 432);
  LuckTaskTV->setHeaderHidden(true);
  LuckTaskTV->setRootIsDecorated(false);
  LuckTaskTV->setToolTip(QStringLiteral("右键选择新增或删除抽奖任务"));
  LuckTaskTV->setEditTriggers(QAbstractItemView::NoEditTriggers);
  LuckTaskTV->setSelectionMode(QAbstractItemView::SingleSelection);
  LuckTaskTV->setContextMenuPolicy(Qt::CustomContextMenu);
  LuckTaskTV->viewport()->installEventFilter(this);
  QPalette treePal = LuckTaskTV->palette();
  treePal.setColor(QPalette::Inactive, QPalette::Highlight,
                   treePal.color(QPalette::Active, QPalette::Highlight));
  treePal.setColor(QPalette::Inactive, QPalette::HighlightedText,
                   treePal.color(QPalette::Active, QPalette::HighlightedText));
  LuckTaskTV->setPalette(treePal);
  PMTask = new QMenu(this);
  PMTask->setObjectName(QStringLiteral("PMTask"));
  N1 = PMTask->addAction(QStringLiteral("新增抽奖任务"));
  N1->setObjectName(QStringLiteral("N1"));
  N2 = PMTask->addAction(QStringLiteral("删除抽奖任务"));
  N2->setObjectName(QStringLiteral("N2"));
  SpeedButton3 = button(this, "SpeedButton3", QStringLiteral("新增抽奖"), 4, 465, 88);
  SpeedButton4 = button(this, "SpeedButton4", QStringLiteral("删除"), 96, 465, 88);

  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName(QStringLiteral("PageControl1"));
  PageControl1->setGeometry(190, 4, 521, 486);
  TSBase = new QWidget;
  TSBase->setObjectName(QStringLiteral("TSBase"));
  TSItem = new QWidget;
  TSItem->setObjectName(QStringLiteral("TSItem"));
  TsData = new QWidget;
  TsData->setObjectName(QStringLiteral("TsData"));
  PageControl1->addTab(TSBase, QStringLiteral("基本配置"));
  PageControl1->addTab(TSItem, QStringLiteral("奖项配置"));
  PageControl1->addTab(TsData, QStringLiteral("抽奖数据导入"));

  // 基本配置: labels right-aligned in one column, fields from x = 148.
  QWidget* b = TSBase;
  const int lx = 4, lw = 140, fx = 148, fw = 350;
  label(b, QStringLiteral("抽奖任务名称："), lx, 12, lw);
  EdtTaskName = edit(b, "EdtTaskName", fx, 12, fw);
  label(b, QStringLiteral("抽奖显示标题："), lx, 40, lw);
  EdtMainTitle = edit(b, "EdtMainTitle", fx, 40, fw);
  label(b, QStringLiteral("标题字体大小："), lx, 68, lw);
  EdtFontSize = edit(b, "EdtFontSize", fx, 68, 40);
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
  label(b, QStringLiteral("抽奖界面字体颜色："), 210, 68, 120);
  CLBColor = new QComboBox(b);
  CLBColor->setObjectName(QStringLiteral("CLBColor"));
  CLBColor->setGeometry(334, 68, 164, 22);
  CLBColor->setIconSize(QSize(24, 12));
  CLBColor->setMaxVisibleItems(20);
  for (const NamedColour& c : NamedColours())
    CLBColor->addItem(Swatch(c.rgb), ColourCaption(c.name), QString::fromLatin1(c.name));
  label(b, QStringLiteral("抽奖类型："), lx, 96, lw);
  CBOrderBy = combo(b, "CBOrderBy",
                    {QStringLiteral("按导入数据抽奖"), QStringLiteral("按概率抽奖")}, fx, 96, 150);
  CKShowLuck = new QCheckBox(QStringLiteral("抽奖界面显示中奖名单"), b);
  CKShowLuck->setObjectName(QStringLiteral("CKShowLuck"));
  CKShowLuck->setGeometry(334, 96, 164, 22);

  PData = new QWidget(b);
  PData->setObjectName(QStringLiteral("PData"));
  PData->setGeometry(0, 124, 517, 50);
  label(PData, QStringLiteral("是否重复中奖："), lx, 0, lw);
  CBLuckAgain =
      combo(PData, "CBLuckAgain",
            {QStringLiteral("奖项间不重复中奖"), QStringLiteral("奖项间可重复中奖")}, fx, 0, 150);
  label(PData, QStringLiteral("导入数据类型："), lx, 28, lw);
  CBIdType =
      combo(PData, "CBIdType", {QStringLiteral("数字"), QStringLiteral("非数字")}, fx, 28, 150);
  PProb = new QWidget(b);
  PProb->setObjectName(QStringLiteral("PProb"));
  PProb->setGeometry(0, 124, 517, 24);
  label(PProb, QStringLiteral("中奖概率值："), lx, 0, lw);
  EProb = edit(PProb, "EProb", fx, 0, 150);
  EProb->setMaxLength(8);

  LDesc = new QLabel(b);
  LDesc->setObjectName(QStringLiteral("LDesc"));
  LDesc->setGeometry(24, 182, 474, 34);
  LDesc->setWordWrap(true);
  blue(LDesc);
  Label16 = new QLabel(QStringLiteral("以下为可选配置："), b);
  Label16->setObjectName(QStringLiteral("Label16"));
  Label16->setGeometry(24, 220, 200, 18);
  blue(Label16);

  LShow = label(b, QStringLiteral("抽奖时提示信息："), lx, 244, lw);
  LShow->setObjectName(QStringLiteral("LShow"));
  EdtRemainText = edit(b, "EdtRemainText", fx, 244, fw);
  label(b, QStringLiteral("背景图案："), lx, 272, lw);
  EdtMainImage = edit(b, "EdtMainImage", fx, 272, fw - 72);
  SpSelectImage = button(b, "SpSelectImage", QStringLiteral("选择..."), fx + fw - 68, 270, 68);
  label(b, QStringLiteral("背景音乐："), lx, 300, lw);
  EdtMusicFilePath = edit(b, "EdtMusicFilePath", fx, 300, fw - 72);
  SpSelectMusic = button(b, "SpSelectMusic", QStringLiteral("选择..."), fx + fw - 68, 298, 68);

  PHide = new QWidget(b);
  PHide->setObjectName(QStringLiteral("PHide"));
  PHide->setGeometry(0, 328, 517, 52);
  label(PHide, QStringLiteral("抽奖序号隐藏起始位置："), lx, 0, lw);
  EdtHideBegin = edit(PHide, "EdtHideBegin", fx, 0, 40);
  EdtHideBegin->setMaxLength(2);
  label(PHide, QStringLiteral("抽奖序号隐藏截至位置："), 194, 0, lw);
  EdtHideEnd = edit(PHide, "EdtHideEnd", 338, 0, 40);
  EdtHideEnd->setMaxLength(2);
  EdtDateFlag = edit(PHide, "EdtDateFlag", fx, 28, fw);
  EdtDateFlag->setReadOnly(true);
  EdtDateFlag->setFocusPolicy(Qt::NoFocus);
  QPalette grey = EdtDateFlag->palette();
  grey.setColor(QPalette::Base, palette().color(QPalette::Window));
  EdtDateFlag->setPalette(grey);

  // Kept for the rules, never shown.
  EdtTaskId = edit(b, "EdtTaskId", 0, 0, 10);
  EdtPassWord = edit(b, "EdtPassWord", 0, 0, 10);
  EdtPassWord->setMaxLength(6);
  EdtPassWord->setEchoMode(QLineEdit::Password);
  EdtDataFilePath = edit(b, "EdtDataFilePath", 0, 0, 10);
  for (QLineEdit* hidden : {EdtTaskId, EdtPassWord, EdtDataFilePath}) hidden->hide();

  BtnSaveBase = button(b, "BtnSaveBase", QStringLiteral("保存"), 258, 420, 75);
  BtnCancelBase = button(b, "BtnCancelBase", QStringLiteral("取消"), 341, 420, 75);
  BtnCloseBase = button(b, "BtnCloseBase", QStringLiteral("返回"), 424, 420, 75);

  // 奖项配置.
  QWidget* it = TSItem;
  Label25 = new QLabel(QStringLiteral("奖项列表(按抽奖顺序排列):"), it);
  Label25->setObjectName(QStringLiteral("Label25"));
  Label25->setGeometry(8, 8, 200, 18);
  LBItem = new QListWidget(it);
  LBItem->setObjectName(QStringLiteral("LBItem"));
  LBItem->setGeometry(8, 28, 172, 352);
  QPalette listPal = LBItem->palette();
  listPal.setColor(QPalette::Inactive, QPalette::Highlight,
                   listPal.color(QPalette::Active, QPalette::Highlight));
  listPal.setColor(QPalette::Inactive, QPalette::HighlightedText,
                   listPal.color(QPalette::Active, QPalette::HighlightedText));
  LBItem->setPalette(listPal);
  Label18 = new QLabel(QStringLiteral("请点击【增加奖项】按钮新增奖项"), it);
  Label18->setObjectName(QStringLiteral("Label18"));
  Label18->setGeometry(8, 386, 260, 18);
  blue(Label18);
  SpeedButton1 = button(it, "SpeedButton1", QString(), 184, 170, 26);
  SpeedButton1->setIcon(style()->standardIcon(QStyle::SP_ArrowUp));
  SpeedButton2 = button(it, "SpeedButton2", QString(), 184, 200, 26);
  SpeedButton2->setIcon(style()->standardIcon(QStyle::SP_ArrowDown));
  for (QPushButton* mv : {SpeedButton1, SpeedButton2}) {
    mv->setToolTip(QStringLiteral("请选择抽奖顺序"));
    mv->resize(26, 26);
  }
  const int ilx = 214, ilw = 96, ifx = 314, ifw = 184;
  label(it, QStringLiteral("奖项名称："), ilx, 28, ilw);
  DBEdtName = edit(it, "DBEdtName", ifx, 28, ifw);
  DBEdtName->setMaxLength(50);
  label(it, QStringLiteral("中奖个数："), ilx, 56, ilw);
  DBEdtLuckCount = edit(it, "DBEdtLuckCount", ifx, 56, 100);
  DBEdtLuckCount->setMaxLength(7);
  LListCount = label(it, QStringLiteral("每次抽取个数："), ilx, 84, ilw);
  LListCount->setObjectName(QStringLiteral("LListCount"));
  DBEditListCount = edit(it, "DBEditListCount", ifx, 84, 100);
  DBEditListCount->setMaxLength(7);
  label(it, QStringLiteral("奖品名称："), ilx, 112, ilw);
  DBEdtAwardName = edit(it, "DBEdtAwardName", ifx, 112, ifw);
  DBEdtAwardName->setMaxLength(100);
  label(it, QStringLiteral("奖品图片："), ilx, 140, ilw);
  DBEdtAwardImage = edit(it, "DBEdtAwardImage", ifx, 140, ifw - 72);
  DBEdtAwardImage->setMaxLength(100);
  SbSelectItem = button(it, "SbSelectItem", QStringLiteral("选择..."), ifx + ifw - 68, 138, 68);
  BntCheat = button(it, "BntCheat", QStringLiteral("指定中奖"), ifx, 176, 100);
  DBEdtId = edit(it, "DBEdtId", 0, 0, 10);
  EdtListIndex = edit(it, "EdtListIndex", 0, 0, 10);
  DBEdtId->hide();
  EdtListIndex->hide();
  BtnAddItem = button(it, "BtnAddItem", QStringLiteral("增加奖项"), 92, 420, 80);
  BtnDelItem = button(it, "BtnDelItem", QStringLiteral("删除奖项"), 177, 420, 80);
  BtnSaveItem = button(it, "BtnSaveItem", QStringLiteral("保存"), 262, 420, 75);
  BtnCancelItem = button(it, "BtnCancelItem", QStringLiteral("取消"), 342, 420, 75);
  BtnCloseItem = button(it, "BtnCloseItem", QStringLiteral("返回"), 424, 420, 75);

  // 抽奖数据导入.
  QWidget* d = TsData;
  LBData = new QLabel(d);
  LBData->setObjectName(QStringLiteral("LBData"));
  LBData->setGeometry(12, 12, 490, 22);
  QFont dataFont = UiFont(QStringLiteral("宋体"), 14);
  dataFont.setUnderline(true);
  LBData->setFont(dataFont);
  label(d, QStringLiteral("导入文件格式："), 8, 48, 100);
  CBFileType = combo(d, "CBFileType", {QStringLiteral("文本文件"), QStringLiteral("Excel文件")},
                     112, 48, 130);
  label(d, QStringLiteral("选择文件："), 8, 78, 100);
  EdtFileName = edit(d, "EdtFileName", 112, 78, 314);
  SpFileData = button(d, "SpFileData", QStringLiteral("选择..."), 430, 76, 68);
  SpFileData->setToolTip(QStringLiteral("选择数据文件"));
  MLog = new QPlainTextEdit(d);
  MLog->setObjectName(QStringLiteral("MLog"));
  MLog->setGeometry(12, 110, 486, 270);
  MLog->setReadOnly(true);
  MLog->setLineWrapMode(QPlainTextEdit::NoWrap);
  MLog->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  MLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  PrgBar = new QProgressBar(d);
  PrgBar->setObjectName(QStringLiteral("PrgBar"));
  PrgBar->setGeometry(12, 388, 486, 18);
  PrgBar->setRange(0, 26);
  PrgBar->setValue(0);
  PrgBar->setTextVisible(false);
  BtnSaveData = button(d, "BtnSaveData", QStringLiteral("导入"), 258, 420, 75);
  BtnSaveData->setToolTip(QStringLiteral("点击开始导入数据"));
  BtnCancelData = button(d, "BtnCancelData", QStringLiteral("取消"), 341, 420, 75);
  BtnCloseData = button(d, "BtnCloseData", QStringLiteral("返回"), 424, 420, 75);

  for (QLineEdit* e : {EdtHideBegin, EdtHideEnd, EProb, DBEdtLuckCount, DBEditListCount})
    e->installEventFilter(digits);

  connect(LuckTaskTV, &QTreeWidget::itemClicked, this, &TLuckConfigForm::LuckTaskTVClick);
  // Moving with the keys shows the task too; a mouse click is handled once, above.
  connect(LuckTaskTV, &QTreeWidget::currentItemChanged, this, [this] {
    if (!m_quietTree && !m_treeMouse) LuckTaskTVClick();
  });
  connect(LuckTaskTV, &QTreeWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { PMTask->popup(LuckTaskTV->viewport()->mapToGlobal(at)); });
  connect(N1, &QAction::triggered, this, &TLuckConfigForm::N1Click);
  connect(N2, &QAction::triggered, this, &TLuckConfigForm::N2Click);
  connect(SpeedButton3, &QPushButton::clicked, this, &TLuckConfigForm::SpeedButton3Click);
  connect(SpeedButton4, &QPushButton::clicked, this, &TLuckConfigForm::SpeedButton4Click);
  connect(CBOrderBy, &QComboBox::currentIndexChanged, this, &TLuckConfigForm::CBOrderByChange);
  connect(BtnSaveBase, &QPushButton::clicked, this, &TLuckConfigForm::BtnSaveBaseClick);
  connect(BtnCancelBase, &QPushButton::clicked, this, &TLuckConfigForm::BtnCancelBaseClick);
  connect(BtnCloseBase, &QPushButton::clicked, this, &TLuckConfigForm::BtnCloseBaseClick);
  connect(SpSelectImage, &QPushButton::clicked, this, &TLuckConfigForm::SpSelectImageClick);
  connect(SpSelectMusic, &QPushButton::clicked, this, &TLuckConfigForm::SpSelectMusicClick);

  connect(LBItem, &QListWidget::itemClicked, this, &TLuckConfigForm::LBItemClick);
  connect(LBItem, &QListWidget::currentRowChanged, this, [this] {
    if (!m_listMouse) LBItemClick();
  });
  LBItem->viewport()->installEventFilter(this);
  connect(BtnAddItem, &QPushButton::clicked, this, &TLuckConfigForm::BtnAddItemClick);
  connect(BtnSaveItem, &QPushButton::clicked, this, &TLuckConfigForm::BtnSaveItemClick);
  connect(BtnCancelItem, &QPushButton::clicked, this, &TLuckConfigForm::BtnCancelItemClick);
  connect(BtnDelItem, &QPushButton::clicked, this, &TLuckConfigForm::BtnDelItemClick);
  connect(BtnCloseItem, &QPushButton::clicked, this, &TLuckConfigForm::BtnCloseBaseClick);
  connect(SpeedButton1, &QPushButton::clicked, this, &TLuckConfigForm::SpeedButton1Click);
  connect(SpeedButton2, &QPushButton::clicked, this, &TLuckConfigForm::SpeedButton2Click);
  connect(SbSelectItem, &QPushButton::clicked, this, &TLuckConfigForm::SbSelectItemClick);
  connect(BntCheat, &QPushButton::clicked, this, &TLuckConfigForm::BntCheatClick);
  for (QLineEdit* e : {DBEdtId, DBEdtName, DBEdtLuckCount, DBEditListCount, DBEdtAwardName,
                       DBEdtAwardImage, EdtListIndex})
    connect(e, &QLineEdit::textChanged, this, &TLuckConfigForm::ItemFieldChange);

  connect(SpFileData, &QPushButton::clicked, this, &TLuckConfigForm::SpFileDataClick);
  connect(BtnCancelData, &QPushButton::clicked, this, &TLuckConfigForm::BtnCancelDataClick);
  connect(BtnSaveData, &QPushButton::clicked, this, &TLuckConfigForm::BtnSaveDataClick);
  connect(BtnCloseData, &QPushButton::clicked, this, &TLuckConfigForm::BtnCloseBaseClick);

  if (QScreen* s = (host && host->HostWindow() ? host->HostWindow()->screen()
                                               : QGuiApplication::primaryScreen())) {
    const QRect r = s->availableGeometry();
    move(r.center() - QPoint(frameGeometry().width() / 2, frameGeometry().height() / 2));
  }

  // FormCreate.
  ImportedDataFile.clear();
  DataImported = false;
  LoadTaskTree();
}

// ---- task tree -------------------------------------------------------------------------

int TLuckConfigForm::SelectedNode() const {
  const QList<QTreeWidgetItem*> sel = LuckTaskTV->selectedItems();
  return sel.isEmpty() ? -1 : LuckTaskTV->indexOfTopLevelItem(sel.first());
}

void TLuckConfigForm::SelectNode(int index) {
  m_quietTree = true;
  QTreeWidgetItem* node = LuckTaskTV->topLevelItem(index);
  LuckTaskTV->clearSelection();
  if (node) {
    LuckTaskTV->setCurrentItem(node);
    node->setSelected(true);
  }
  m_quietTree = false;
}

void TLuckConfigForm::LoadTaskTree() {
  m_quietTree = true;
  LuckTaskTV->clear();
  Tasks = m_host ? m_host->Tasks() : config::TTaskList();
  for (const config::TTaskRow& t : Tasks.Rows())
    LuckTaskTV->addTopLevelItem(new QTreeWidgetItem(QStringList{Q(t.TaskName)}));
  int selected = -1;
  if (m_host) {
    selected = m_host->SelectedTaskIndex();
    if (selected < 0) selected = 0;
  }
  m_quietTree = false;
  SelectNode(selected);
  ShowSelectedTask();
  LoadItemList();
}

void TLuckConfigForm::LuckTaskTVClick() {
  ShowSelectedTask();
  LoadItemList();
}

void TLuckConfigForm::N1Click() {
  PageControl1->setCurrentWidget(TSBase);
  ResetBaseTab();
  ResetItemTab();
  ResetImportTab();
  EdtTaskName->setFocus();
}

void TLuckConfigForm::N2Click() { DeleteTask(); }

void TLuckConfigForm::DeleteTask() {
  const int node = SelectedNode();
  const config::TTaskRow* row = Tasks.At(node);
  if (!row) return;
  const int32_t taskId = row->TaskId;
  const QString name = LuckTaskTV->topLevelItem(node)->text(0);
  // Only Yes deletes: a question closed with its close box backs out.
  if (AskYesNo(QStringLiteral("将删除该抽奖项目的基本配置、导入数据和中奖数据，您确认要删除[") +
               name + QStringLiteral("]吗？")) != Answer::Yes)
    return;
  bool rowsDeleted = false;
  std::string error;
  const bool ok = config::DeleteTask(taskId, rowsDeleted, error);
  // Nothing was deleted: the task stays in the tree as it stays in the database.
  if (!rowsDeleted) {
    ShowMessageBox(MessageKind::Error, error);
    return;
  }
  Tasks.Remove(node);
  m_quietTree = true;
  delete LuckTaskTV->takeTopLevelItem(node);
  m_quietTree = false;
  SelectNode(qMin(node, LuckTaskTV->topLevelItemCount() - 1));
  ResetItemTab();
  if (!ok) ShowMessageBox(MessageKind::Error, error);
  ShowSelectedTask();
  LoadItemList();
  // The rows are gone either way, so the main list must no longer offer the task.
  if (m_host) m_host->TasksChanged(0);
}

bool TLuckConfigForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == LBItem->viewport()) {
    if (event->type() == QEvent::MouseButtonPress) m_listMouse = true;
    if (event->type() == QEvent::MouseButtonRelease) m_listMouse = false;
  }
  if (watched == LuckTaskTV->viewport()) {
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
      // A right click opens the menu without moving the selection.
      if (static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) return true;
      m_treeMouse = true;
    } else if (event->type() == QEvent::MouseButtonRelease) {
      m_treeMouse = false;
      if (static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

// ---- 基本配置 -----------------------------------------------------------------------------

void TLuckConfigForm::ShowSelectedTask() {
  ResetBaseTab();
  ResetImportTab();
  const int node = SelectedNode();
  const config::TTaskRow* row = Tasks.At(node);
  if (LuckTaskTV->topLevelItemCount() == 0 || !row) return;
  const int32_t taskId = row->TaskId;
  TLuckTask task;
  bool found = false;
  std::string error;
  if (!config::SelectTask(taskId, task, found, error)) {
    ShowMessageBox(MessageKind::Error, error);
    return;
  }
  FillBaseTab(found ? &task : nullptr);
}

void TLuckConfigForm::FillBaseTab(const TLuckTask* t) {
  DataImported = false;
  ImportedDataFile.clear();
  m_taskId = t ? t->TaskId : 0;
  if (t) {
    EdtTaskId->setText(QString::number(t->TaskId));
    EdtTaskName->setText(Q(t->TaskName));
    EdtMainTitle->setText(Q(t->MainTitle));
    EdtFontSize->setText(QString::number(t->FontSize));
    EdtRemainText->setText(Q(t->RemainText));
    EdtMainImage->setText(Q(t->MainImageName));
    EdtHideEnd->setText(QString::number(t->HideEnd));
    EdtPassWord->setText(Q(t->PassWd));
    EdtMusicFilePath->setText(Q(t->MusicFilePath));
    EdtHideBegin->setText(QString::number(t->HideBegin));
    EProb->setText(QString::number(t->HideBegin));
    ShowFromStart({EdtTaskName, EdtMainTitle, EdtRemainText, EdtMainImage, EdtMusicFilePath});
    auto pick = [](QComboBox* c, int index) {
      c->setCurrentIndex(index >= 0 && index < c->count() ? index : -1);
    };
    config::ShowIdType(CBIdType, t->IdType);
    config::ShowDrawType(CBOrderBy, t->OrderBy);
    pick(CBLuckAgain, t->LuckAgain);
    CKShowLuck->setChecked(t->ShowLuck != 1);
    const int colour = config::ColourListIndex(t->FontColor);
    if (colour >= 0) {
      CLBColor->setCurrentIndex(colour);
    } else {
      // A colour the list does not name is offered as stored, so saving keeps it.
      uint32_t rgb = 0xFFFFFF;
      ColourFromName(t->FontColor, rgb);
      CLBColor->addItem(Swatch(rgb), Q(t->FontColor), Q(text::Trim(t->FontColor)));
      CLBColor->setCurrentIndex(CLBColor->count() - 1);
    }
    const config::DataState state = config::DataStateOf(t->OrderBy, t->DataFilePath);
    ShowDataState(state, Q(text::Trim(t->DataFilePath)));
  }
  BtnSaveData->setEnabled(true);
  SpFileData->setEnabled(true);
  ApplyDrawType();
}

void TLuckConfigForm::ShowDataState(config::DataState state, const QString& path) {
  const bool imported = state == config::DataState::Imported;
  EdtDateFlag->setText(Q(config::DataFlagText(state)));
  LBData->setText(Q(config::DataLabelText(state)));
  QPalette p = LBData->palette();
  p.setColor(QPalette::WindowText, state == config::DataState::NotImported ? kRed : kBlue);
  LBData->setPalette(p);
  DataImported = imported;
  ImportedDataFile = imported ? path : QString();
  EdtDataFilePath->setText(imported ? path : QString());
}

void TLuckConfigForm::ResetBaseTab() {
  for (QLineEdit* e :
       {EdtTaskId, EdtTaskName, EdtMainTitle, EdtRemainText, EdtMainImage, EdtHideBegin, EdtHideEnd,
        EdtPassWord, EdtDataFilePath, EdtMusicFilePath, EProb})
    e->clear();
  m_taskId = 0;
  EdtFontSize->setText(QStringLiteral("36"));
  EdtDateFlag->setText(QStringLiteral("未导入"));
  // Drop a stored colour the list did not name, offered for the task shown before.
  while (CLBColor->count() > static_cast<int>(NamedColours().size()))
    CLBColor->removeItem(CLBColor->count() - 1);
  CLBColor->setCurrentIndex(config::WhiteColourIndex());
  config::ShowDrawType(CBOrderBy, TDrawType::FromData);
  CBLuckAgain->setCurrentIndex(0);
  config::ShowIdType(CBIdType, TIdType::Numeric);
  CKShowLuck->setChecked(true);
  ApplyDrawType();
}

void TLuckConfigForm::CBOrderByChange() { ApplyDrawType(); }

void TLuckConfigForm::ApplyDrawType() {
  const bool byData = config::ChosenDrawType(CBOrderBy) != TDrawType::ByProbability;
  PData->setVisible(byData);
  PProb->setVisible(!byData);
  PHide->setVisible(byData);
  CKShowLuck->setVisible(byData);
  LDesc->setText(
      byData ? QStringLiteral("选择”按导入数据抽奖”时，在抽奖前要导入抽奖的数据范围，如：手机号或"
                              "姓名信息等")
             : QStringLiteral("选择“按概率抽奖”时，要输入概率值，如：1000表示配置的奖项抽到需要1000"
                              "次抽奖的概率"));
  LShow->setText(byData ? QStringLiteral("抽奖时提示信息：") : QStringLiteral("未中奖提示信息："));
  BtnSaveData->setEnabled(byData);
  SpFileData->setEnabled(byData);
  LListCount->setVisible(byData);
  DBEditListCount->setVisible(byData);
}

config::TTaskSettings TLuckConfigForm::BaseSettings() const {
  config::TTaskSettings s;
  s.TaskId = m_taskId > 0 ? std::to_string(m_taskId) : std::string();
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

void TLuckConfigForm::FocusTaskField(config::TaskField field) {
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
  if (!w) return;
  PageControl1->setCurrentWidget(TSBase);
  w->setFocus();
}

void TLuckConfigForm::BtnSaveBaseClick() {
  config::TTaskSettings s = BaseSettings();
  const bool insert = m_taskId == 0;
  config::TTaskFailure failure;
  const bool ok = config::SaveTask(s, failure);
  int32_t savedId = 0;
  m_taskId = text::ParseInt32(s.TaskId, savedId) ? savedId : 0;
  // The rules fill in what they fill in whether or not the save goes through.
  EdtFontSize->setText(Q(s.FontSize));
  EdtHideBegin->setText(Q(s.HideBegin));
  EdtHideEnd->setText(Q(s.HideEnd));
  EdtTaskId->setText(Q(s.TaskId));
  if (!ok) {
    if (!failure.text.empty()) ShowMessageBox(failure.kind, failure.text);
    FocusTaskField(failure.focus);
    return;
  }
  const QString name = Q(text::Trim(s.TaskName));
  if (insert) {
    config::TTaskRow row;
    row.TaskId = m_taskId;
    row.TaskName = text::Trim(s.TaskName);
    Tasks.Append(std::move(row));
    m_quietTree = true;
    LuckTaskTV->addTopLevelItem(new QTreeWidgetItem(QStringList{name}));
    m_quietTree = false;
    SelectNode(LuckTaskTV->topLevelItemCount() - 1);
  } else if (QTreeWidgetItem* node = LuckTaskTV->topLevelItem(SelectedNode())) {
    node->setText(0, name);
    Tasks.Rename(SelectedNode(), text::Trim(s.TaskName));
  }
  ShowMessageBox(MessageKind::Information, "保存成功");
  if (m_host) m_host->TasksChanged(m_taskId);
  ShowSelectedTask();
  LoadItemList();
}

void TLuckConfigForm::BtnCancelBaseClick() {
  ShowSelectedTask();
  LoadItemList();
}

void TLuckConfigForm::BtnCloseBaseClick() { close(); }

void TLuckConfigForm::SpSelectImageClick() {
  QString chosen;
  ChooseOpenFile(ImageFilter(), QStringLiteral("请选择图像文件(1024×768)"), chosen);
  EdtMainImage->setText(chosen);
}

void TLuckConfigForm::SpSelectMusicClick() {
  QString chosen;
  ChooseOpenFile(MusicFilter(), QStringLiteral("请选择音频文件(mp3或wma)"), chosen);
  EdtMusicFilePath->setText(chosen);
}

void TLuckConfigForm::StepFontSize(int delta) {
  bool ok = false;
  const int now = EdtFontSize->text().toInt(&ok);
  EdtFontSize->setText(QString::number(qBound(10, (ok ? now : 10) + delta, 99)));
}

// ---- 奖项配置 -----------------------------------------------------------------------------

void TLuckConfigForm::ClearItemFields() {
  for (QLineEdit* e :
       {DBEdtId, DBEdtName, DBEdtLuckCount, DBEditListCount, DBEdtAwardName, DBEdtAwardImage})
    e->clear();
  m_item = config::TItemRow();
}

void TLuckConfigForm::ResetItemTab() {
  for (QPushButton* b : {BtnAddItem, BtnDelItem, BtnSaveItem, BtnCancelItem, BntCheat})
    b->setEnabled(false);
  {
    const QSignalBlocker quiet(LBItem);
    LBItem->clear();
  }
  ClearItemFields();
}

QStringList TLuckConfigForm::ItemLines() const {
  QStringList lines;
  for (int i = 0; i < LBItem->count(); ++i) lines << LBItem->item(i)->text();
  return lines;
}

void TLuckConfigForm::LoadItemList() {
  ResetItemTab();
  const config::TTaskRow* node = Tasks.At(SelectedNode());
  const bool task = node != nullptr;
  if (task) {
    const int32_t taskId = node->TaskId;
    std::vector<config::TItemRow> rows;
    std::string error;
    if (!config::SelectItems(taskId, rows, error)) {
      ShowMessageBox(MessageKind::Error, error);
      return;
    }
    const QSignalBlocker quiet(LBItem);
    for (const config::TItemRow& r : rows) LBItem->addItem(Q(r.ItemName));
    if (!rows.empty()) {
      LBItem->setCurrentRow(0);
      ShowSelectedItem();
    }
  }
  const bool any = LBItem->count() > 0;
  // Items belong to a saved task; without one 增加奖项 would lead to a save that does nothing.
  BtnAddItem->setEnabled(task);
  BtnCancelItem->setEnabled(task);
  BtnSaveItem->setEnabled(false);
  BtnDelItem->setEnabled(any);
  BntCheat->setEnabled(any && DataImported);
}

void TLuckConfigForm::ShowSelectedItem() {
  ClearItemFields();
  bool shown = false;
  const int32_t taskId = m_taskId;
  QListWidgetItem* line = LBItem->currentItem();
  if (LBItem->count() > 0 && line && taskId > 0) {
    config::TItemRow row;
    bool found = false;
    std::string error;
    if (!config::SelectItemByName(taskId, FromQ(line->text()), row, found, error)) {
      ShowMessageBox(MessageKind::Error, error);
      return;
    }
    if (found) {
      DBEdtId->setText(QString::number(row.ItemId));
      DBEdtName->setText(Q(row.ItemName));
      DBEdtLuckCount->setText(QString::number(row.LuckCount));
      DBEditListCount->setText(QString::number(row.ListCount));
      DBEdtAwardName->setText(Q(row.AwardName));
      DBEdtAwardImage->setText(Q(row.AwardImageName));
      EdtListIndex->setText(QString::number(row.ListIndex));
      m_item = row;
      ShowFromStart({DBEdtName, DBEdtAwardName, DBEdtAwardImage});
      shown = true;
    }
  }
  BtnDelItem->setEnabled(shown);
  BntCheat->setEnabled(shown && DataImported);
  BtnSaveItem->setEnabled(false);
}

void TLuckConfigForm::LBItemClick() { ShowSelectedItem(); }

void TLuckConfigForm::ItemFieldChange() { BtnSaveItem->setEnabled(true); }

void TLuckConfigForm::BtnAddItemClick() {
  ClearItemFields();
  BtnSaveItem->setEnabled(true);
  DBEdtName->setFocus();
  BtnDelItem->setEnabled(false);
  BntCheat->setEnabled(false);
}

void TLuckConfigForm::FocusItemField(config::ItemField field) {
  QWidget* w = nullptr;
  switch (field) {
    case config::ItemField::Name:
      w = DBEdtName;
      break;
    case config::ItemField::LuckCount:
      w = DBEdtLuckCount;
      break;
    case config::ItemField::ListCount:
      w = DBEditListCount;
      break;
    case config::ItemField::None:
      break;
  }
  if (w) w->setFocus();
}

void TLuckConfigForm::BtnSaveItemClick() {
  config::TItemSettings s;
  s.TaskId = m_taskId > 0 ? std::to_string(m_taskId) : std::string();
  s.ItemId = m_item.ItemId > 0 ? std::to_string(m_item.ItemId) : std::string();
  s.Name = FromQ(DBEdtName->text());
  s.LuckCount = FromQ(DBEdtLuckCount->text());
  s.ListCount = FromQ(DBEditListCount->text());
  s.AwardName = FromQ(DBEdtAwardName->text());
  s.AwardImage = FromQ(DBEdtAwardImage->text());
  const bool probability = config::ChosenDrawType(CBOrderBy) == TDrawType::ByProbability;
  const bool insert = m_item.ItemId == 0;
  config::TItemFailure failure;
  const bool ok = config::SaveItem(s, probability, LBItem->count(), failure);
  if (probability) DBEditListCount->setText(Q(s.ListCount));
  DBEdtId->setText(Q(s.ItemId));
  // A failed statement leaves no id, so the next save inserts.
  if (text::Trim(s.ItemId).empty()) m_item.ItemId = 0;
  if (!ok) {
    if (!failure.text.empty()) ShowMessageBox(failure.kind, failure.text);
    FocusItemField(failure.focus);
    return;
  }
  {
    // The item as stored, with the id a new one was given.
    config::TItemRow stored;
    bool found = false;
    std::string error;
    if (config::SelectItemByName(m_taskId, text::Trim(s.Name), stored, found, error) && found)
      m_item = stored;
  }
  ShowMessageBox(MessageKind::Information, "保存成功");
  const QString name = Q(text::Trim(s.Name));
  if (insert) {
    const QSignalBlocker quiet(LBItem);
    LBItem->addItem(name);
    LBItem->setCurrentRow(LBItem->count() - 1);
    EdtListIndex->setText(QString::number(LBItem->count()));
  } else if (QListWidgetItem* line = LBItem->currentItem()) {
    line->setText(name);
  }
  BtnDelItem->setEnabled(true);
  BtnSaveItem->setEnabled(false);
  BntCheat->setEnabled(DataImported);
}

void TLuckConfigForm::BtnCancelItemClick() { ShowSelectedItem(); }

void TLuckConfigForm::BtnDelItemClick() {
  const int32_t taskId = m_taskId, itemId = m_item.ItemId;
  if (taskId <= 0 || itemId <= 0) return;
  const int p = LBItem->currentRow();
  if (p < 0) return;
  if (AskYesNo(QStringLiteral("您确认要删除[") + DBEdtName->text() + QStringLiteral("]吗？")) !=
      Answer::Yes)
    return;
  QStringList lines = ItemLines();
  lines.removeAt(p);
  const int next = p < lines.size() ? p : static_cast<int>(lines.size()) - 1;
  std::vector<std::string> remaining;
  for (const QString& l : lines) remaining.push_back(FromQ(l));
  std::string error;
  if (!config::DeleteItem(taskId, itemId, remaining, next, error)) {
    ShowMessageBox(MessageKind::Error, error);
    return;
  }
  {
    const QSignalBlocker quiet(LBItem);
    delete LBItem->takeItem(p);
    if (next >= 0) LBItem->setCurrentRow(next);
  }
  ShowSelectedItem();
}

void TLuckConfigForm::SpeedButton1Click() {
  const int p = LBItem->currentRow();
  if (p <= 0) return;
  const int32_t taskId = m_taskId;
  if (taskId <= 0) return;
  QStringList lines = ItemLines();
  lines.move(p, p - 1);
  std::vector<std::string> order;
  for (const QString& l : lines) order.push_back(FromQ(l));
  std::string error;
  // The list moves only when the stored order moved with it.
  if (!config::RenumberItems(taskId, order, p, p - 1, error)) {
    ShowMessageBox(MessageKind::Error, error);
    return;
  }
  {
    const QSignalBlocker quiet(LBItem);
    LBItem->insertItem(p - 1, LBItem->takeItem(p));
    LBItem->setCurrentRow(p - 1);
  }
  ShowSelectedItem();
}

void TLuckConfigForm::SpeedButton2Click() {
  const int p = LBItem->currentRow();
  if (p < 0 || p >= LBItem->count() - 1) return;
  const int32_t taskId = m_taskId;
  if (taskId <= 0) return;
  QStringList lines = ItemLines();
  lines.move(p, p + 1);
  std::vector<std::string> order;
  for (const QString& l : lines) order.push_back(FromQ(l));
  std::string error;
  if (!config::RenumberItems(taskId, order, p, p + 1, error)) {
    ShowMessageBox(MessageKind::Error, error);
    return;
  }
  {
    const QSignalBlocker quiet(LBItem);
    LBItem->insertItem(p + 1, LBItem->takeItem(p));
    LBItem->setCurrentRow(p + 1);
  }
  ShowSelectedItem();
}

void TLuckConfigForm::SbSelectItemClick() {
  QString chosen;
  ChooseOpenFile(ImageFilter(), QStringLiteral("请选择图像文件"), chosen);
  DBEdtAwardImage->setText(chosen);
}

void TLuckConfigForm::BntCheatClick() {
  if (m_taskId <= 0 || m_item.ItemId <= 0) return;
  if (AskYesNo(
          QStringLiteral("选择【指定中奖】名单后，该名单在抽奖时将被强制指定为中奖名单。该功能仅"
                         "用于抽奖前测试使用，请勿用于商业用途，是否继续？")) == Answer::No)
    return;
  config::TPresetEditorArgs args;
  args.TaskId = m_taskId;
  args.TaskName = text::Trim(FromQ(EdtTaskName->text()));
  args.ItemId = m_item.ItemId;
  args.ItemName = text::Trim(FromQ(DBEdtName->text()));
  args.ImportedDataFile = text::Trim(FromQ(ImportedDataFile));
  args.LuckCount = m_item.LuckCount;
  if (m_presetOpener) m_presetOpener(this, args);
}

// ---- 抽奖数据导入 -------------------------------------------------------------------------

void TLuckConfigForm::ResetImportTab() {
  CBFileType->setCurrentIndex(0);
  EdtFileName->clear();
  MLog->clear();
  LBData->setText(Q(config::DataLabelText(config::DataState::NotImported)));
  QPalette p = LBData->palette();
  p.setColor(QPalette::WindowText, kRed);
  LBData->setPalette(p);
  BtnSaveData->setEnabled(false);
  SpFileData->setEnabled(false);
}

void TLuckConfigForm::SpFileDataClick() {
  QString chosen;
  // Every spreadsheet the import reads, offered together.
  ChooseOpenFile(CBFileType->currentIndex() == 0
                     ? QStringLiteral("txt")
                     : QStringLiteral("Excel文件|*.xls;*.xlsx;*.xlsm;*.ods;*.csv"),
                 QStringLiteral("请选择文件"), chosen);
  EdtFileName->setText(chosen);
}

void TLuckConfigForm::BtnCancelDataClick() { EdtFileName->clear(); }

// ---- window ------------------------------------------------------------------------------

void TLuckConfigForm::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  // Only when the window opens, not when it comes back from being minimised.
  if (!e->spontaneous()) PageControl1->setCurrentWidget(TSBase);
}

void TLuckConfigForm::keyPressEvent(QKeyEvent* e) {
  // Esc must not throw away the edits of a tab; the window closes through 返回.
  if (e->key() == Qt::Key_Escape) return;
  QDialog::keyPressEvent(e);
}

void ShowLuckConfig(TTaskListHost& host, const PresetEditorOpener& presets) {
  TLuckConfigForm form(&host);
  form.SetPresetEditorOpener(presets);
  form.exec();
}
