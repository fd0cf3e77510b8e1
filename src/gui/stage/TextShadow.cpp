#include "gui/stage/TextShadow.h"

#include <QLabel>
#include <QPainter>
#include <QPixmap>

// Qt's blur, the one its drop shadow uses (exported by Qt Widgets, declared in no public
// header): the same call gives the same pixels.
QT_BEGIN_NAMESPACE
Q_WIDGETS_EXPORT void qt_blurImage(QPainter* p, QImage& blurImage, qreal radius, bool quality,
                                   bool alphaOnly, int transposed = 0);
QT_END_NAMESPACE

TTextShadow::TTextShadow(QObject* parent) : QGraphicsDropShadowEffect(parent) {}

bool TTextShadow::Key::operator==(const Key& o) const {
  return text == o.text && font == o.font && palette == o.palette && group == o.group &&
         format == o.format && size == o.size && alignment == o.alignment && margin == o.margin &&
         indent == o.indent && wordWrap == o.wordWrap && enabled == o.enabled &&
         pixmap == o.pixmap && device == o.device && dpr == o.dpr;
}

bool TTextShadow::KeyOf(const QPainter* painter, Key& key) const {
  auto* label = qobject_cast<const QLabel*>(parent());
  if (!label || !label->findChildren<QWidget*>(Qt::FindDirectChildrenOnly).isEmpty()) return false;
  key.text = label->text();
  key.font = label->font();
  key.palette = label->palette().cacheKey();
  key.group = label->palette().currentColorGroup();
  key.format = label->textFormat();
  key.size = label->size();
  key.alignment = static_cast<int>(label->alignment());
  key.margin = label->margin();
  key.indent = label->indent();
  key.wordWrap = label->wordWrap();
  key.enabled = label->isEnabled();
  key.pixmap = label->pixmap().cacheKey();
  key.device = painter->worldTransform();
  key.dpr = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
  return true;
}

void TTextShadow::sourceChanged(ChangeFlags flags) {
  m_valid = false;
  QGraphicsDropShadowEffect::sourceChanged(flags);
}

void TTextShadow::draw(QPainter* painter) {
  Key key;
  if (!KeyOf(painter, key) || (blurRadius() <= 0 && offset().isNull())) {
    m_valid = false;
    ++m_renders;
    QGraphicsDropShadowEffect::draw(painter);
    return;
  }
  if (!m_valid || !(key == m_key)) {
    // As QGraphicsDropShadowEffect and its filter make it: the text in device pixels, its
    // alpha blurred and coloured.
    m_source = sourcePixmap(Qt::DeviceCoordinates, &m_offset, PadToEffectiveBoundingRect);
    m_shadow = QImage();
    if (!m_source.isNull()) {
      QImage tmp(m_source.size(), QImage::Format_ARGB32_Premultiplied);
      tmp.setDevicePixelRatio(m_source.devicePixelRatio());
      tmp.fill(0);
      QPainter tp(&tmp);
      tp.setCompositionMode(QPainter::CompositionMode_Source);
      tp.drawPixmap(offset(), m_source);
      tp.end();
      QImage blurred(tmp.size(), QImage::Format_ARGB32_Premultiplied);
      blurred.setDevicePixelRatio(m_source.devicePixelRatio());
      blurred.fill(0);
      QPainter bp(&blurred);
      qt_blurImage(&bp, tmp, blurRadius(), false, true);
      bp.end();
      QPainter cp(&blurred);
      cp.setCompositionMode(QPainter::CompositionMode_SourceIn);
      cp.fillRect(blurred.rect(), color());
      cp.end();
      m_shadow = std::move(blurred);
    }
    m_key = key;
    m_valid = true;
    ++m_renders;
  }
  if (m_source.isNull()) return;
  const QTransform restore = painter->worldTransform();
  painter->setWorldTransform(QTransform());
  painter->drawImage(QPointF(m_offset), m_shadow);
  painter->drawPixmap(QPointF(m_offset), m_source);
  painter->setWorldTransform(restore);
}
