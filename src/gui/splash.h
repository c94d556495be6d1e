// The splash window shown while the program starts: static content only.
#pragma once

#include <QWidget>

namespace tarnak::gui {

class TfrmSplash : public QWidget {
  Q_OBJECT
 public:
  explicit TfrmSplash(QWidget* parent = nullptr);

  // Shows the window and paints it at once, before the event loop runs.
  void ShowNow();

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace tarnak::gui
