#include "splash.h"

#include <QApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

#include "about.h"

namespace tarnak::gui {

TfrmSplash::TfrmSplash(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setObjectName("TfrmSplash");
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFixedSize(440, 240);
  if (const QScreen* screen = QApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - rect().center());
  }
}

void TfrmSplash::ShowNow() {
  show();
  raise();
  repaint();
  // Let the window system map and show it before the start-up goes on.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TfrmSplash::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient sky(0, 0, 0, height());
  sky.setColorAt(0, QColor(24, 48, 92));
  sky.setColorAt(1, QColor(8, 18, 40));
  p.fillRect(rect(), sky);

  // A part outline with its toolpath around it: what the program makes.
  const QRectF part(300, 60, 100, 110);
  QPainterPath outline;
  outline.addRoundedRect(part, 14, 14);
  outline.addEllipse(part.center(), 22, 22);
  p.setPen(QPen(QColor(230, 230, 230), 2));
  p.setBrush(Qt::NoBrush);
  p.drawPath(outline);
  QPen toolPen(QColor(90, 170, 255), 2);
  p.setPen(toolPen);
  p.drawRoundedRect(part.adjusted(-10, -10, 10, 10), 22, 22);
  p.drawEllipse(part.center(), 12, 12);
  toolPen.setStyle(Qt::DashLine);
  p.setPen(toolPen);
  p.drawLine(QPointF(250, 200), part.adjusted(-10, -10, 10, 10).bottomLeft() + QPointF(22, 0));

  p.setPen(Qt::white);
  QFont title = font();
  title.setPointSizeF(26);
  title.setBold(true);
  p.setFont(title);
  p.drawText(QRect(28, 50, 260, 50), Qt::AlignLeft | Qt::AlignVCenter, "Tarnak 2000");

  QFont small = font();
  small.setPointSizeF(10);
  p.setFont(small);
  p.setPen(QColor(200, 210, 230));
  p.drawText(QRect(30, 105, 260, 60), Qt::AlignLeft | Qt::TextWordWrap,
             "CAM for CNC mills, routers and engravers");
  p.drawText(QRect(30, 200, 200, 20), Qt::AlignLeft, QString("Version %1").arg(kTarnakVersion));

  p.setPen(QColor(90, 110, 150));
  p.setBrush(Qt::NoBrush);
  p.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace tarnak::gui
