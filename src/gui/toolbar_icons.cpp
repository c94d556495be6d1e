#include "toolbar_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace tarnak::gui {

namespace {

constexpr int kSize = 24;

const QColor kInk(40, 40, 40);
const QColor kBlue(30, 90, 200);
const QColor kRed(200, 40, 40);
const QColor kGreen(20, 130, 40);
const QColor kPaper(250, 250, 245);

void Sheet(QPainter& p) {
  p.setPen(QPen(kInk, 1));
  p.setBrush(kPaper);
  QPainterPath page;
  page.moveTo(5, 2);
  page.lineTo(15, 2);
  page.lineTo(19, 6);
  page.lineTo(19, 21);
  page.lineTo(5, 21);
  page.closeSubpath();
  p.drawPath(page);
  p.drawLine(QPointF(15, 2), QPointF(15, 6));
  p.drawLine(QPointF(15, 6), QPointF(19, 6));
}

void Disk(QPainter& p) {
  p.setPen(QPen(kInk, 1));
  p.setBrush(QColor(70, 110, 180));
  p.drawRect(QRectF(3.5, 3.5, 17, 17));
  p.setBrush(kPaper);
  p.drawRect(QRectF(6.5, 3.5, 11, 6));
  p.setBrush(QColor(200, 200, 200));
  p.drawRect(QRectF(7.5, 13.5, 9, 7));
}

void Lens(QPainter& p) {
  p.setPen(QPen(kInk, 2));
  p.setBrush(QColor(220, 235, 255));
  p.drawEllipse(QPointF(10, 10), 6.5, 6.5);
  p.setPen(QPen(kInk, 3, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(15, 15), QPointF(21, 21));
}

void Text(QPainter& p, const QString& text, const QColor& colour, const QRectF& box) {
  QFont f = p.font();
  f.setPixelSize(9);
  f.setBold(true);
  p.setFont(f);
  p.setPen(colour);
  p.drawText(box, Qt::AlignCenter, text);
}

void Draw(QPainter& p, ToolGlyph glyph) {
  switch (glyph) {
    case ToolGlyph::OpenDrawing:
      Sheet(p);
      p.setPen(QPen(kBlue, 1.5));
      p.setBrush(Qt::NoBrush);
      p.drawRect(QRectF(7.5, 9.5, 7, 5));
      p.drawEllipse(QPointF(11, 17), 2.5, 2.5);
      break;
    case ToolGlyph::OpenNc:
      Sheet(p);
      Text(p, "G", kBlue, QRectF(5, 8, 14, 12));
      break;
    case ToolGlyph::SaveNc:
      Disk(p);
      Text(p, "NC", kInk, QRectF(6, 12, 12, 9));
      break;
    case ToolGlyph::SaveDxf:
      Disk(p);
      Text(p, "D", kInk, QRectF(6, 12, 12, 9));
      break;
    case ToolGlyph::ZoomPrevious:
      Lens(p);
      p.setPen(QPen(kBlue, 1.5));
      p.drawArc(QRectF(6, 6, 8, 8), 30 * 16, 270 * 16);
      p.drawLine(QPointF(13.5, 6.5), QPointF(13.5, 9.5));
      break;
    case ToolGlyph::ZoomIn:
      Lens(p);
      p.setPen(QPen(kBlue, 2));
      p.drawLine(QPointF(7, 10), QPointF(13, 10));
      p.drawLine(QPointF(10, 7), QPointF(10, 13));
      break;
    case ToolGlyph::ZoomOut:
      Lens(p);
      p.setPen(QPen(kBlue, 2));
      p.drawLine(QPointF(7, 10), QPointF(13, 10));
      break;
    case ToolGlyph::ZoomWindow:
      p.setPen(QPen(kInk, 1, Qt::DashLine));
      p.setBrush(Qt::NoBrush);
      p.drawRect(QRectF(2.5, 2.5, 14, 11));
      p.setPen(QPen(kInk, 1.5));
      p.drawLine(QPointF(16, 13), QPointF(21, 21));
      p.drawLine(QPointF(16, 13), QPointF(16, 19));
      p.drawLine(QPointF(16, 13), QPointF(21, 15));
      break;
    case ToolGlyph::ZoomAll:
      p.setPen(QPen(kInk, 1.5));
      p.setBrush(Qt::NoBrush);
      p.drawRect(QRectF(2.5, 2.5, 19, 19));
      p.setPen(QPen(kBlue, 1.5));
      p.drawRect(QRectF(6.5, 6.5, 11, 11));
      break;
    case ToolGlyph::ZoomSelected:
      p.setPen(QPen(kInk, 1.5));
      p.setBrush(Qt::NoBrush);
      p.drawRect(QRectF(2.5, 2.5, 19, 19));
      p.setPen(QPen(kRed, 1.5));
      p.drawEllipse(QPointF(12, 12), 5.5, 5.5);
      break;
    case ToolGlyph::View3D: {
      p.setPen(QPen(kInk, 1.2));
      p.setBrush(QColor(210, 225, 245));
      QPainterPath top;
      top.moveTo(4, 9);
      top.lineTo(12, 5);
      top.lineTo(20, 9);
      top.lineTo(12, 13);
      top.closeSubpath();
      p.drawPath(top);
      p.setBrush(QColor(160, 185, 220));
      QPainterPath left;
      left.moveTo(4, 9);
      left.lineTo(12, 13);
      left.lineTo(12, 21);
      left.lineTo(4, 17);
      left.closeSubpath();
      p.drawPath(left);
      p.setBrush(QColor(120, 150, 200));
      QPainterPath right;
      right.moveTo(20, 9);
      right.lineTo(12, 13);
      right.lineTo(12, 21);
      right.lineTo(20, 17);
      right.closeSubpath();
      p.drawPath(right);
      break;
    }
    case ToolGlyph::ViewAll:
      p.setPen(QPen(kInk, 1.5));
      p.setBrush(Qt::NoBrush);
      p.drawRect(QRectF(3.5, 4.5, 11, 9));
      p.drawEllipse(QPointF(15, 15), 5, 5);
      break;
    case ToolGlyph::ViewSelected:
      p.setPen(QPen(kInk, 1, Qt::DotLine));
      p.setBrush(Qt::NoBrush);
      p.drawRect(QRectF(3.5, 4.5, 11, 9));
      p.setPen(QPen(kRed, 2));
      p.drawEllipse(QPointF(15, 15), 5, 5);
      break;
    case ToolGlyph::ViewToolpaths:
      p.setPen(QPen(kInk, 1));
      p.setBrush(Qt::NoBrush);
      p.drawRect(QRectF(7.5, 7.5, 9, 9));
      p.setPen(QPen(kBlue, 1.5));
      p.drawRoundedRect(QRectF(3.5, 3.5, 17, 17), 4, 4);
      break;
    case ToolGlyph::Contour:
      p.setPen(QPen(kInk, 1.2));
      p.setBrush(QColor(220, 220, 220));
      p.drawRect(QRectF(7.5, 7.5, 9, 9));
      p.setPen(QPen(kBlue, 2));
      p.setBrush(Qt::NoBrush);
      p.drawRoundedRect(QRectF(3.5, 3.5, 17, 17), 4, 4);
      break;
    case ToolGlyph::Pocket:
      p.setPen(QPen(kInk, 1.2));
      p.setBrush(Qt::NoBrush);
      p.drawRect(QRectF(2.5, 2.5, 19, 19));
      p.setPen(QPen(kBlue, 1.2));
      p.drawRect(QRectF(5.5, 5.5, 13, 13));
      p.drawRect(QRectF(8.5, 8.5, 7, 7));
      p.drawRect(QRectF(11, 11, 2, 2));
      break;
    case ToolGlyph::Drill:
      p.setPen(QPen(kInk, 1.2));
      p.setBrush(QColor(200, 200, 200));
      p.drawRect(QRectF(9.5, 2.5, 5, 12));
      {
        QPainterPath tip;
        tip.moveTo(9.5, 14.5);
        tip.lineTo(14.5, 14.5);
        tip.lineTo(12, 20.5);
        tip.closeSubpath();
        p.drawPath(tip);
      }
      p.setPen(QPen(kBlue, 1.5));
      p.drawLine(QPointF(4, 21.5), QPointF(20, 21.5));
      break;
    case ToolGlyph::CircuitBoard:
      p.setPen(QPen(QColor(20, 90, 30), 1));
      p.setBrush(QColor(60, 150, 70));
      p.drawRect(QRectF(2.5, 4.5, 19, 15));
      p.setPen(QPen(QColor(230, 180, 60), 2));
      p.drawLine(QPointF(6, 8), QPointF(12, 8));
      p.drawLine(QPointF(12, 8), QPointF(18, 15));
      p.drawEllipse(QPointF(6, 15), 1.5, 1.5);
      break;
    case ToolGlyph::Prototype:
      p.setPen(QPen(kInk, 1));
      p.setBrush(QColor(200, 200, 210));
      p.drawEllipse(QPointF(12, 15), 8, 5);
      p.setPen(QPen(kBlue, 1.2));
      for (int x = 6; x <= 18; x += 3) p.drawLine(QPointF(x, 4), QPointF(x, 13));
      break;
  }
}

QPixmap Render(ToolGlyph glyph, bool disabled) {
  QPixmap pm(kSize, kSize);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  if (disabled) p.setOpacity(0.35);
  Draw(p, glyph);
  return pm;
}

}  // namespace

QIcon ToolIcon(ToolGlyph glyph) {
  QIcon icon;
  icon.addPixmap(Render(glyph, false), QIcon::Normal);
  icon.addPixmap(Render(glyph, true), QIcon::Disabled);
  return icon;
}

}  // namespace tarnak::gui
