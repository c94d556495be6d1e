// The main window's status bar: four panels side by side.
//   0  messages ("Loading ...", "Ready...")
//   1  "2D" or "3D"
//   2  counts and secondary messages
//   3  the mouse position in drawing units
// The panel widths follow the window width (PanelWidths), not the text, so
// the panels stay put while their texts change; they are placed by hand
// rather than by a layout, so they never raise the window's minimum width.
#pragma once

#include <QStatusBar>
#include <QString>
#include <array>

class QLabel;
class QProgressBar;

namespace tarnak::gui {

inline constexpr int kStatusPanelCount = 4;

class TStatusBar : public QStatusBar {
  Q_OBJECT
 public:
  explicit TStatusBar(QWidget* parent = nullptr);

  // Widths of the four panels for a window `windowWidth` pixels wide:
  // W - W/6 - W/10 - W/18, W/18, W/10 and W/6 (integer divisions).
  static std::array<int, kStatusPanelCount> PanelWidths(int windowWidth);

  // Sets the panel widths from the window width.
  void SetPanelWidths(int windowWidth);
  int PanelWidth(int panel) const;

  QString PanelText(int panel) const;
  void SetPanelText(int panel, const QString& text);
  QLabel* Panel(int panel) const { return panels_.at(static_cast<size_t>(panel)); }

  // A progress bar drawn over panel 2 while a file is read.
  void ProgressStart(int maximum);
  void ProgressStep();
  void ProgressEnd();
  // Counted progress: the gauge shows `done` of `total` (as "done/total").
  void ProgressCount(int done, int total);
  QProgressBar* Progress() const { return progress_; }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void PlacePanels();

  std::array<QLabel*, kStatusPanelCount> panels_{};
  std::array<int, kStatusPanelCount> widths_{};
  QProgressBar* progress_ = nullptr;
  int lastPaintedStep_ = 0;
};

}  // namespace tarnak::gui
