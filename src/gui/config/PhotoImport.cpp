#include "gui/config/PhotoImport.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QPainter>

#include "core/records/DrawDataFile.h"
#include "core/records/WinnerPhotos.h"
#include "core/text/FileWrite.h"
#include "core/text/Text.h"
#include "gui/ui/Qt.h"

bool ImportPhotos(int32_t taskId, const QString& folder, const std::string& gbkDataFile,
                  const std::function<void(const QString&)>& log, TPhotoImportResult& result,
                  std::string& error) {
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
  for (const photos::TPhotoCopy& c : plan.copies) {
    QImageReader reader(Q(c.source));
    reader.setAutoTransform(true);  // a phone's portrait stays upright
    QImage picture = reader.read();
    if (picture.isNull()) {
      ++result.unreadable;
      ++result.idsWithout;
      continue;
    }
    if (picture.width() > photos::kMaxSide || picture.height() > photos::kMaxSide)
      picture = picture.scaled(photos::kMaxSide, photos::kMaxSide, Qt::KeepAspectRatio,
                               Qt::SmoothTransformation);
    // A picture with transparency stands on white, as on the card.
    QImage flat(picture.size(), QImage::Format_RGB32);
    flat.fill(Qt::white);
    {
      QPainter p(&flat);
      p.drawImage(0, 0, picture);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!flat.save(&buffer, "JPG", 88)) {
      ++result.unreadable;
      ++result.idsWithout;
      continue;
    }
    if (!files::WriteFileAtomic(c.target, std::string_view(bytes.constData(), bytes.size()), error))
      return false;
    ++result.copied;
  }
  log(QStringLiteral("找到照片%1张,没有照片的号码%2个").arg(result.copied).arg(result.idsWithout));
  if (result.unreadable > 0) log(QStringLiteral("无法读取的照片%1张").arg(result.unreadable));
  if (plan.notCandidates > 0)
    log(QStringLiteral("不属于抽奖数据的照片%1张").arg(plan.notCandidates));
  return true;
}
