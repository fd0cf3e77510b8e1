#include "gui/config/PhotoImport.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <system_error>
#include <thread>

#include "core/records/DrawDataFile.h"
#include "core/records/WinnerPhotos.h"
#include "core/text/FileWrite.h"
#include "core/text/Text.h"
#include "gui/ui/Qt.h"

namespace {

// One picture, read at the size the stage needs, flattened on white and encoded as JPEG for
// the task's photo folder; false when it cannot be read. Runs on a helper thread: QImage and
// its reader are reentrant.
bool MakePhoto(const photos::TPhotoCopy& c, std::string& jpeg) {
  QImageReader reader(Q(c.source));
  reader.setAutoTransform(true);  // a phone's portrait stays upright
  // A camera's picture is decoded straight at the size the stage needs (JPEG scales while
  // decoding), not at its full twelve million pixels and then scaled.
  const QSize full = reader.size();
  if (full.isValid() && (full.width() > photos::kMaxSide || full.height() > photos::kMaxSide))
    reader.setScaledSize(full.scaled(photos::kMaxSide, photos::kMaxSide, Qt::KeepAspectRatio));
  QImage picture = reader.read();
  if (picture.isNull()) return false;
  if (picture.width() > photos::kMaxSide || picture.height() > photos::kMaxSide)
    picture = picture.scaled(photos::kMaxSide, photos::kMaxSide, Qt::KeepAspectRatio,
                             Qt::SmoothTransformation);
  // A picture with transparency stands on white, as on the card.
  if (picture.hasAlphaChannel()) {
    QImage flat(picture.size(), QImage::Format_RGB32);
    flat.fill(Qt::white);
    QPainter p(&flat);
    p.drawImage(0, 0, picture);
    p.end();
    picture = std::move(flat);
  }
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!picture.save(&buffer, "JPG", 88)) return false;
  jpeg.assign(bytes.constData(), static_cast<size_t>(bytes.size()));
  return true;
}

// The photos made so far, written together: one flush for many files instead of two each.
class PhotoWriter {
 public:
  void Add(std::string target, std::string jpeg) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pending.emplace_back(std::move(target), std::move(jpeg));
  }
  // Writes what is pending once `atLeast` photos wait; false with the error at a failure.
  bool Write(size_t atLeast, int64_t& copied, std::string& error) {
    std::vector<std::pair<std::string, std::string>> batch;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      if (m_pending.empty() || m_pending.size() < atLeast) return true;
      batch.swap(m_pending);
    }
    size_t written = 0;
    const bool ok = files::WriteFilesAtomic(batch, written, error);
    copied += static_cast<int64_t>(written);
    return ok;
  }

 private:
  std::mutex m_mutex;
  std::vector<std::pair<std::string, std::string>> m_pending;
};

// Photos held in memory at most before they are written (a hundred kilobytes each).
constexpr size_t kPhotosPerWrite = 64;

}  // namespace

bool ImportPhotos(int32_t taskId, const QString& folder, const std::string& gbkDataFile,
                  const std::function<void(const QString&)>& log, TPhotoImportResult& result,
                  std::string& error, const std::function<void()>& pulse) {
  result = TPhotoImportResult();
  log(QStringLiteral("正在导入照片:") + folder);
  TArraySring lines;
  int32_t idMax = 0;
  std::string title;
  if (!ReadDrawDataFile(gbkDataFile, 0, 1, lines, idMax, title, error)) return false;
  std::vector<std::string> ids;
  ids.reserve(lines.size());
  for (const std::string& l : lines) ids.emplace_back(text::FirstField(l));
  lines.clear();

  std::vector<std::string> names;
  const std::string dir = FromQ(folder);
  if (!photos::ListFolder(dir, names, error)) return false;
  const photos::TPhotoPlan plan = photos::PlanPhotoImport(dir, std::move(names), ids, taskId);
  result.idsWithout = plan.idsWithout;
  if (!plan.copies.empty() && !files::MakeFolders(photos::PhotoDir(taskId), error)) return false;

  // Decoding a camera's picture is most of the work: the pictures are made on a few threads
  // at once, while this one keeps the window painted and writes them, many at a time.
  std::atomic<size_t> next{0};
  std::atomic<int64_t> unreadable{0};
  std::atomic<bool> failed{false};
  PhotoWriter writer;
  int64_t copied = 0;
  const auto work = [&] {
    for (size_t i = next++; i < plan.copies.size() && !failed; i = next++) {
      std::string jpeg;
      if (MakePhoto(plan.copies[i], jpeg))
        writer.Add(plan.copies[i].target, std::move(jpeg));
      else
        ++unreadable;
    }
  };
  const size_t helpers = std::min<size_t>(
      plan.copies.size(), std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 4));
  std::vector<std::future<void>> running;
  try {
    for (size_t k = 0; k < helpers; ++k) running.push_back(std::async(std::launch::async, work));
  } catch (const std::system_error&) {
    work();  // no thread to be had: this one does what is left
  }
  const auto write = [&](size_t atLeast) {
    if (!failed && !writer.Write(atLeast, copied, error)) failed = true;
  };
  for (std::future<void>& r : running)
    while (r.wait_for(std::chrono::milliseconds(40)) != std::future_status::ready) {
      write(kPhotosPerWrite);
      if (pulse) pulse();
    }
  write(1);
  result.copied = copied;
  result.unreadable = unreadable;
  result.idsWithout += unreadable;
  if (failed) return false;
  log(QStringLiteral("找到照片%1张,没有照片的号码%2个").arg(result.copied).arg(result.idsWithout));
  if (result.unreadable > 0) log(QStringLiteral("无法读取的照片%1张").arg(result.unreadable));
  if (plan.notCandidates > 0)
    log(QStringLiteral("不属于抽奖数据的照片%1张").arg(plan.notCandidates));
  return true;
}
