#include "status_bar.h"

#include <QLabel>
#include <QProgressBar>
#include <QResizeEvent>
#include <algorithm>

namespace tarnak::gui {

TStatusBar::TStatusBar(QWidget* parent) : QStatusBar(parent) {
  setObjectName("sbrBar");
  setSizeGripEnabled(false);
  for (int i = 0; i < kStatusPanelCount; ++i) {
    auto* label = new QLabel(this);
    label->setObjectName(QString("sbrPanel%1").arg(i));
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setTextFormat(Qt::PlainText);
    label->setIndent(3);
    label->setMinimumWidth(0);
    panels_[static_cast<size_t>(i)] = label;
  }
  progress_ = new QProgressBar(this);
  progress_->setObjectName("sbrProgress");
  progress_->setTextVisible(false);
  progress_->hide();
  SetPanelWidths(parent ? parent->width() : 600);
}

std::array<int, kStatusPanelCount> TStatusBar::PanelWidths(int windowWidth) {
  const int w = std::max(windowWidth, 0);
  return {w - w / 6 - w / 10 - w / 18, w / 18, w / 10, w / 6};
}

void TStatusBar::SetPanelWidths(int windowWidth) {
  widths_ = PanelWidths(windowWidth);
  PlacePanels();
}

int TStatusBar::PanelWidth(int panel) const { return widths_.at(static_cast<size_t>(panel)); }

QString TStatusBar::PanelText(int panel) const { return Panel(panel)->text(); }

void TStatusBar::SetPanelText(int panel, const QString& text) {
  QLabel* label = Panel(panel);
  label->setText(text);
  // Long commands set their status and carry on without returning to the
  // event loop; paint the new text now so that it is seen.
  if (label->isVisible()) label->repaint();
}

void TStatusBar::ProgressStart(int maximum) {
  progress_->setRange(0, std::max(maximum, 1));
  progress_->setValue(0);
  lastPaintedStep_ = 0;
  PlacePanels();
  progress_->show();
  progress_->raise();
  if (progress_->isVisible()) progress_->repaint();
}

void TStatusBar::ProgressStep() {
  if (progress_->isHidden()) return;
  const int value = std::min(progress_->value() + 1, progress_->maximum());
  progress_->setValue(value);
  // Repainting at every step would cost more than the reading; one
  // percent is smooth enough.
  const int onePercent = std::max(progress_->maximum() / 100, 1);
  if (value - lastPaintedStep_ >= onePercent) {
    lastPaintedStep_ = value;
    if (progress_->isVisible()) progress_->repaint();
  }
}

void TStatusBar::ProgressCount(int done, int total) {
  const int maximum = std::max(total, 1);
  if (progress_->isHidden() || progress_->maximum() != maximum) {
    ProgressStart(maximum);
    progress_->setFormat("%v/%m");
    progress_->setTextVisible(true);
  }
  progress_->setValue(std::clamp(done, 0, maximum));
  if (progress_->isVisible()) progress_->repaint();
}

void TStatusBar::ProgressEnd() {
  progress_->hide();
  progress_->setTextVisible(false);
}

QSize TStatusBar::sizeHint() const {
  const int h = Panel(0)->sizeHint().height() + 4;
  return {widths_[0] + widths_[1] + widths_[2] + widths_[3], h};
}

QSize TStatusBar::minimumSizeHint() const { return {0, Panel(0)->sizeHint().height() + 4}; }

void TStatusBar::resizeEvent(QResizeEvent* event) {
  QStatusBar::resizeEvent(event);
  PlacePanels();
}

void TStatusBar::PlacePanels() {
  const int h = height();
  int x = 0;
  for (int i = 0; i < kStatusPanelCount; ++i) {
    const int w = widths_[static_cast<size_t>(i)];
    panels_[static_cast<size_t>(i)]->setGeometry(x, 1, w, std::max(h - 2, 0));
    if (i == 2) progress_->setGeometry(x + 2, 3, std::max(w - 4, 0), std::max(h - 6, 0));
    x += w;
  }
}

}  // namespace tarnak::gui
