// The look of read-only numeric and text fields (indicators). They change at
// every measurement frame; the default style draws their frame as an
// antialiased rounded rectangle, which costs more than the text inside. An
// indicator gets a plain one-pixel sunken box instead; editable fields keep
// the style's own frame.
#include "platform/indicator_style.h"

#include <QApplication>
#include <QLineEdit>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOption>

namespace {

class IndicatorStyle : public QProxyStyle {
 public:
  void drawPrimitive(PrimitiveElement pe, const QStyleOption* opt, QPainter* p,
                     const QWidget* w) const override {
    const auto* edit = qobject_cast<const QLineEdit*>(w);
    if (pe == PE_PanelLineEdit && edit && edit->isReadOnly()) {
      const QRect r = opt->rect.adjusted(0, 0, -1, -1);
      p->save();
      p->setRenderHint(QPainter::Antialiasing, false);
      p->fillRect(opt->rect, opt->palette.base());
      p->setPen(opt->palette.color(QPalette::Dark));
      p->drawLine(r.topLeft(), r.topRight());
      p->drawLine(r.topLeft(), r.bottomLeft());
      p->setPen(opt->palette.color(QPalette::Midlight));
      p->drawLine(r.bottomLeft(), r.bottomRight());
      p->drawLine(r.topRight(), r.bottomRight());
      p->restore();
      return;
    }
    QProxyStyle::drawPrimitive(pe, opt, p, w);
  }
};

}  // namespace

void InstallIndicatorStyle() { QApplication::setStyle(new IndicatorStyle); }
