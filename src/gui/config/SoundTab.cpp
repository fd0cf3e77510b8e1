#include "gui/config/SoundTab.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QVBoxLayout>
#include <iterator>

#include "core/config/TaskSounds.h"
#include "gui/config/ConfigWidgets.h"
#include "gui/stage/StageSound.h"
#include "gui/ui/FileDialogs.h"
#include "gui/ui/Qt.h"

namespace {

constexpr TSoundCue kCues[] = {TSoundCue::RollLoop, TSoundCue::Hit, TSoundCue::Fanfare,
                               TSoundCue::GrandFanfare, TSoundCue::Applause};

QPushButton* SmallButton(const QString& text, const char* name) {
  auto* b = new QPushButton(text);
  b->setObjectName(QString::fromLatin1(name));
  b->setAutoDefault(false);
  // As wide as its text (the style's 80 pixels at least otherwise): the file's column
  // takes the room.
  b->setFixedWidth(b->fontMetrics().horizontalAdvance(b->text()) + 20);
  return b;
}

}  // namespace

TSoundTab::TSoundTab(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("TSSound"));
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(6, 6, 6, 6);
  m_intro = new QLabel;
  m_intro->setObjectName(QStringLiteral("LbSoundIntro"));
  m_intro->setWordWrap(true);
  outer->addWidget(m_intro);

  auto* scroll = new QScrollArea;
  scroll->setObjectName(QStringLiteral("SbSoundRows"));
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  m_rowsArea = new QWidget;
  m_grid = new QGridLayout(m_rowsArea);
  m_grid->setContentsMargins(0, 0, 0, 0);
  m_grid->setHorizontalSpacing(4);
  m_grid->setColumnStretch(1, 1);
  int col = 0;
  for (const char* head : {"音效", "文件", "", "音量", "", ""}) {
    auto* h = new QLabel(QString::fromUtf8(head));
    m_grid->addWidget(h, 0, col++);
  }
  for (TSoundCue cue : kCues) AddRow({cue, 0}, Q(CueName(cue)));
  m_grid->setRowStretch(100, 1);
  scroll->setWidget(m_rowsArea);
  outer->addWidget(scroll, 1);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  BtnSaveSound = SmallButton(QStringLiteral("保存(&S)"), "BtnSaveSound");
  BtnCancelSound = SmallButton(QStringLiteral("取消"), "BtnCancelSound");
  BtnCloseSound = SmallButton(QStringLiteral("关闭"), "BtnCloseSound");
  for (QPushButton* b : {BtnSaveSound, BtnCancelSound, BtnCloseSound}) buttons->addWidget(b);
  outer->addLayout(buttons);
  ShowDrawType(true);
}

void TSoundTab::ShowDrawType(bool byData) {
  m_byData = byData;
  m_intro->setText(
      byData
          ? QStringLiteral("抽奖画面按时刻放音效：滚动时循环滚动音乐（奖项有自己的音乐时放它），"
                           "停止时放停止音，揭晓时放揭晓音乐（最后一个奖项放大奖揭晓），抽完时"
                           "放结束掌声。抽奖时按M键静音。")
          : QStringLiteral("按概率抽奖的画面只放滚动音乐（即背景音乐），其他音效用于从名单抽奖。"));
  ShutRows();
}

void TSoundTab::ShutRows() {
  for (const Row& r : m_rows) {
    const bool on = m_byData || r.cue.cue == TSoundCue::RollLoop;
    for (QWidget* w : {static_cast<QWidget*>(r.name), static_cast<QWidget*>(r.path),
                       static_cast<QWidget*>(r.choose), static_cast<QWidget*>(r.volume),
                       static_cast<QWidget*>(r.listen), static_cast<QWidget*>(r.clear)})
      w->setEnabled(on);
  }
}

void TSoundTab::AddRow(const TSoundPlay& cue, const QString& name) {
  Row r;
  r.cue = cue;
  r.name = new QLabel(name);
  r.path = new QLineEdit;
  r.path->setReadOnly(true);
  r.path->setObjectName(QStringLiteral("EdtSound%1").arg(m_rows.size()));
  r.choose = SmallButton(QStringLiteral("选择..."), "BtnChooseSound");
  r.volume = new QSpinBox;
  r.volume->setRange(0, 100);
  r.volume->setSuffix(QStringLiteral("%"));
  r.volume->setValue(TCueSound::kDefaultVolume);
  r.listen = SmallButton(QStringLiteral("试听"), "BtnListenSound");
  r.clear = SmallButton(QStringLiteral("清除"), "BtnClearSound");
  const int line = static_cast<int>(m_rows.size()) + 1;
  m_grid->addWidget(r.name, line, 0);
  m_grid->addWidget(r.path, line, 1);
  m_grid->addWidget(r.choose, line, 2);
  m_grid->addWidget(r.volume, line, 3);
  m_grid->addWidget(r.listen, line, 4);
  m_grid->addWidget(r.clear, line, 5);
  const size_t index = m_rows.size();
  connect(r.choose, &QPushButton::clicked, this, [this, index] { Choose(index); });
  connect(r.clear, &QPushButton::clicked, this, [this, index] { Clear(index); });
  connect(r.listen, &QPushButton::clicked, this,
          [this, index] { PreviewSound(SoundOf(m_rows[index])); });
  m_rows.push_back(r);
}

const TSoundTab::Row* TSoundTab::RowOf(TSoundCue cue, int32_t itemId) const {
  for (const Row& r : m_rows)
    if (r.cue == TSoundPlay{cue, cue == TSoundCue::ItemPiece ? itemId : 0}) return &r;
  return nullptr;
}

void TSoundTab::Load(const TLuckTask* task, const TArrLuckItem& items) {
  PreviewSound({});
  // The items' rows of the task shown before go.
  while (m_rows.size() > std::size(kCues)) {
    Row& r = m_rows.back();
    for (QWidget* w : {static_cast<QWidget*>(r.name), static_cast<QWidget*>(r.path),
                       static_cast<QWidget*>(r.choose), static_cast<QWidget*>(r.volume),
                       static_cast<QWidget*>(r.listen), static_cast<QWidget*>(r.clear)})
      delete w;
    m_rows.pop_back();
  }
  for (const TLuckItem& it : items)
    AddRow({TSoundCue::ItemPiece, it.ItemId}, QStringLiteral("奖项[%1]").arg(Q(it.ItemName)));
  TSoundSettings s;
  std::string ignored;
  if (task) config::LoadTaskSounds(*task, s, ignored);
  for (Row& r : m_rows) {
    const TCueSound* found =
        r.cue.cue == TSoundCue::ItemPiece
            ? (s.items.count(r.cue.itemId) ? &s.items.at(r.cue.itemId) : nullptr)
            : &s.Of(r.cue.cue);
    Show(r, found ? *found : TCueSound{});
  }
  ShutRows();
  m_loaded = Settings();
}

void TSoundTab::Show(Row& r, const TCueSound& sound) {
  r.builtIn = sound.builtIn && sound.path.empty();
  r.path->setText(Q(sound.path));
  r.path->setCursorPosition(0);
  r.path->setPlaceholderText(r.builtIn ? QStringLiteral("程序自带的揭晓音乐")
                                       : QStringLiteral("未设"));
  r.volume->setValue(sound.volume);
  r.path->setToolTip(r.path->text());
}

TCueSound TSoundTab::SoundOf(const Row& r) const {
  TCueSound s;
  s.path = FromQ(r.path->text());
  s.builtIn = r.builtIn && s.path.empty();
  s.volume = r.volume->value();
  return s;
}

TSoundSettings TSoundTab::Settings() const {
  TSoundSettings s;
  for (const Row& r : m_rows) {
    const TCueSound sound = SoundOf(r);
    if (r.cue.cue == TSoundCue::ItemPiece) {
      if (sound.Set()) s.items[r.cue.itemId] = sound;
    } else {
      s.Of(r.cue.cue) = sound;
    }
  }
  return s;
}

void TSoundTab::Choose(size_t index) {
  QString chosen;
  ChooseOpenFile(config::SoundFilter(), QStringLiteral("请选择音频文件(mp3、wma或wav)"), chosen);
  if (chosen.isEmpty()) return;  // cancelled: the row keeps its sound
  Row& r = m_rows[index];
  r.builtIn = false;
  r.path->setText(chosen);
  r.path->setCursorPosition(0);
  r.path->setToolTip(chosen);
}

void TSoundTab::Clear(size_t index) {
  Row& r = m_rows[index];
  PreviewSound({});
  r.builtIn = false;
  r.path->clear();
  r.path->setToolTip({});
  r.path->setPlaceholderText(QStringLiteral("未设"));
  r.volume->setValue(TCueSound::kDefaultVolume);
}
