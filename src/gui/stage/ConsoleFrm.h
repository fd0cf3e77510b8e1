// The operator's console (操作台) on the laptop's screen while the draw screen stands on the
// projector, the projector's 黑屏 cover, and the small overlay of the same facts when there
// is one screen only. What they show comes finished from core (console::ViewOf); the keys
// pressed on the console reach the draw screen as its own keys do.
#pragma once

#include <QElapsedTimer>
#include <QLabel>
#include <QWidget>
#include <functional>

#include "core/draw/Console.h"

class QPushButton;
class QTimer;
class TDataDraw;
class TSoundMute;

class TConsoleForm : public QWidget {
  Q_OBJECT
 public:
  // `stage` is the draw screen the console shows and `keys` the control that takes its keys;
  // `feed` what the stage told, `engine` the draw, `room` the room's facts when asked.
  TConsoleForm(QWidget* stage, QWidget* keys, const console::TFeed& feed, const TDataDraw& engine,
               std::function<console::TRoom()> room);

  // The stage moved: the texts follow when what the stage told changed.
  void Refresh();
  // The draw screen shows a new frame: its picture is taken soon, at most every
  // kPictureMs, never while nothing changes.
  void FrameChanged();
  const console::TView& View() const { return m_view; }
  // Pictures of the draw screen taken so far.
  int Pictures() const { return m_pictures; }
  // The console goes with the draw screen only.
  void Release() { m_released = true; }
  // The show's sound whose mute the console shows (null: none, no mark); it lives as long
  // as the draw screen. The 静音 button presses the stage's M key, never this switch.
  void SetMute(const TSoundMute* mute);

  static constexpr int kPictureMs = 200;  // at most five pictures a second
  static constexpr int kRoomMs = 5000;    // the disk, the battery, the phones

  QLabel* LbTask;
  QLabel* LbPhase;
  QLabel* LbNextKey;
  QLabel* LbBlank;  // 投影已黑屏, while it is
  QLabel* LbMute;   // 已静音, while it is
  QLabel* LbNote;   // why the last input was refused
  QLabel* LbPrompt;
  QLabel* Picture;  // the draw screen as the hall sees it
  QLabel* LbItems;
  QLabel* LbBatches;
  QLabel* LbRoom;
  QLabel* LbWarnings;
  QPushButton* BtAbsent;
  QPushButton* BtVoid;
  QPushButton* BtChange;
  QPushButton* BtBlank;
  QPushButton* BtMute;

 protected:
  void keyPressEvent(QKeyEvent* e) override;
  void keyReleaseEvent(QKeyEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  // A key for the draw screen, as if pressed on it.
  void SendKey(int key);
  void TakePicture();
  void ShowView();
  void ShowPicture();
  void ShowMute();

  QWidget* m_stage;
  QWidget* m_keys;
  const console::TFeed& m_feed;
  const TDataDraw& m_engine;
  std::function<console::TRoom()> m_room;
  console::TRoom m_roomNow;
  console::TView m_view;
  uint64_t m_revision = UINT64_MAX;
  QTimer* m_pictureTimer;
  QTimer* m_roomTimer;
  QElapsedTimer m_sincePicture;
  QPixmap m_picture;
  int m_pictures = 0;
  bool m_released = false;
  const TSoundMute* m_mute = nullptr;
};

// Over the projector while it is blanked: the task's background picture, else black.
class TBlankCover : public QWidget {
 public:
  explicit TBlankCover(QWidget* stage);
  void SetPicture(const QPixmap& picture);

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  QPixmap m_picture;
};

// The console's facts in a corner of the one screen, at the operator's request.
class TStageOverlay : public QLabel {
 public:
  explicit TStageOverlay(QWidget* stage);
  // The facts of `view` when `full`, and the mute mark when `muted`.
  void Show(const console::TView& view, bool full, bool muted);
};
