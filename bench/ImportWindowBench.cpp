// The import as the operator runs it in the configuration window: 导入 on the 抽奖数据导入 tab
// of a task with two prize items, from an HR spreadsheet of 2,000 people (ids stored as
// numbers, written by libxlsxwriter) with and without a folder of 60 photos (a phone
// camera's 3000 x 4000, or 1200 x 1500 as HR systems export them), until the message box. The
// figure is the whole click: the import, the log and progress bar, the photos, and the rules
// choices the new list offers.
//
//   bench_import_window [--benchmark_filter=...]
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <xlsxwriter.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "TaskBuilder.h"
#include "TempRoot.h"
#include "core/db/TombolixDM.h"
#include "core/text/Gbk.h"
#include "gui/app/MainFrm.h"
#include "gui/config/LuckConfigFrm.h"
#include "gui/ui/Dialogs.h"

namespace fs = std::filesystem;

namespace {

constexpr int kRows = 2000;
constexpr int kPhotos = 60;

const char* const kNames[] = {"张伟", "王芳", "李娜", "刘洋", "陈静", "欧阳建华", "杨磊", "赵敏"};
const char* const kDepts[] = {"销售部", "技术部", "市场部", "财务部", "行政部"};
const char* const kBranches[] = {"总部", "深圳", "上海", "北京 分公司"};

// The sources, made once per run of the program.
struct Sources {
  fs::path dir;
  std::string sheet;
  QString photos;       // a phone camera's, 3000 x 4000
  QString smallPhotos;  // as an HR system exports them, 1200 x 1500
  Sources() {
    dir = fs::temp_directory_path() / "tombolix-bench-import-window";
    fs::create_directories(dir / "photos");
    fs::create_directories(dir / "photos-1200");
    sheet = (dir / "hr2000.xlsx").string();
    photos = QString::fromStdString((dir / "photos").string());
    smallPhotos = QString::fromStdString((dir / "photos-1200").string());
    if (!fs::exists(sheet)) MakeSheet();
    MakePhotos(photos, 3000, 4000);
    MakePhotos(smallPhotos, 1200, 1500);
  }
  void MakeSheet() const {
    lxw_workbook* wb = workbook_new(sheet.c_str());
    lxw_worksheet* ws = workbook_add_worksheet(wb, "名单");
    const char* heads[] = {"手机号码", "姓名", "部门", "分公司", "票数"};
    for (int c = 0; c < 5; ++c)
      worksheet_write_string(ws, 0, static_cast<lxw_col_t>(c), heads[c], nullptr);
    for (int r = 1; r <= kRows; ++r) {
      const auto row = static_cast<lxw_row_t>(r);
      worksheet_write_number(ws, row, 0, 13800000000.0 + r, nullptr);
      worksheet_write_string(ws, row, 1, kNames[r % 8], nullptr);
      worksheet_write_string(ws, row, 2, kDepts[r % 5], nullptr);
      worksheet_write_string(ws, row, 3, kBranches[r % 4], nullptr);
      worksheet_write_number(ws, row, 4, 1 + r % 3, nullptr);
    }
    workbook_close(wb);
  }
  // Photos of the first 60 people, `w` x `h`, with enough detail to weigh what a camera's
  // JPEG weighs.
  static void MakePhotos(const QString& folder, int w, int h) {
    for (int i = 1; i <= kPhotos; ++i) {
      const QString path =
          folder + QStringLiteral("/%1.jpg").arg(QString::number(13800000000LL + i));
      if (QFile::exists(path)) continue;
      QImage img(w, h, QImage::Format_RGB32);
      QRandomGenerator rng(static_cast<quint32>(i));
      QPainter p(&img);
      p.fillRect(img.rect(), QColor(200, 180, 160));
      for (int k = 0; k < 3000 * w / 3000 * h / 4000; ++k)
        p.fillRect(rng.bounded(w), rng.bounded(h), 20 + rng.bounded(200 * w / 3000),
                   20 + rng.bounded(200 * w / 3000), QColor::fromRgb(rng.generate()));
      p.end();
      img.save(path, "JPG", 90);
    }
  }
};

const Sources& TheSources() {
  static const Sources s;
  return s;
}

// Processor seconds of this process so far, every thread's.
double ProcessCpu() {
  struct rusage ru {};
  getrusage(RUSAGE_SELF, &ru);
  return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
         static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

// One import through the window, on a fresh data root; seconds of the click, and the
// processor seconds it took on every thread added to `cpu`.
double ImportOnce(const QString& photoFolder, double& cpu) {
  TempRoot root;
  TTombolixDataModule dm;
  if (!dm.DataModuleCreate()) return -1;
  TaskDef def;
  def.items = {{text::G("一等奖"), 1, 1, text::G("电脑")}, {text::G("二等奖"), 5, 5, ""}};
  def.candidates = {"1 old"};
  BuildTask(dm, def);
  auto main = std::make_unique<TMainForm>();
  auto form = std::make_unique<TLuckConfigForm>(main.get());
  form->show();
  form->LuckTaskTV->setCurrentItem(form->LuckTaskTV->topLevelItem(0));
  form->LuckTaskTVClick();
  form->PageControl1->setCurrentWidget(form->TsData);
  form->TsData->CBFileType->setCurrentIndex(1);
  form->TsData->EdtFileName->setText(QString::fromStdString(TheSources().sheet));
  form->TsData->EdtPhotoDir->setText(photoFolder);
  QApplication::processEvents();
  const double cpu0 = ProcessCpu();
  const auto t0 = std::chrono::steady_clock::now();
  QTest::mouseClick(form->TsData->BtnSaveData, Qt::LeftButton);
  const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  cpu += ProcessCpu() - cpu0;
  if (!form->DataImported) return -1;
  return s;
}

enum class Photos { None, Camera, Small };

void Run(benchmark::State& state, Photos photos) {
  const Sources& sources = TheSources();
  const bool withPhotos = photos != Photos::None;
  const QString folder = photos == Photos::Camera  ? sources.photos
                         : photos == Photos::Small ? sources.smallPhotos
                                                   : QString();
  double cpu = 0;
  for (auto _ : state) {
    const double s = ImportOnce(folder, cpu);
    if (s < 0) {
      state.SkipWithError("the import failed");
      return;
    }
    state.SetIterationTime(s);
  }
  state.counters["rows"] = kRows;
  state.counters["photos"] = withPhotos ? kPhotos : 0;
  // Processor seconds of one click on all threads: the figure to compare on a machine
  // shared with other work, where the wall time mostly waits for a turn.
  state.counters["cpu_s"] = cpu / static_cast<double>(state.iterations());
}

void BM_WindowImport2000Rows(benchmark::State& state) { Run(state, Photos::None); }
void BM_WindowImport2000RowsWith60Photos(benchmark::State& state) { Run(state, Photos::Camera); }
void BM_WindowImport2000RowsWith60Photos1200x1500(benchmark::State& state) {
  Run(state, Photos::Small);
}

BENCHMARK(BM_WindowImport2000Rows)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_WindowImport2000RowsWith60Photos)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_WindowImport2000RowsWith60Photos1200x1500)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace
