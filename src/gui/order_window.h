// The machining-order window: a small stay-on-top window, shown without
// blocking while the user clicks Regions in the order they are to be
// machined. Its number field sets the position the next click fills.
#pragma once

#include <QWidget>

class QLabel;
class QPushButton;
class QSpinBox;

namespace tarnak {
class Document;
}

namespace tarnak::gui {

class TfrmOrder : public QWidget {
  Q_OBJECT
 public:
  explicit TfrmOrder(Document& doc, QWidget* parent = nullptr);

  // Shows the window for the document of the moment: the counter back to
  // 1, the label "Start At (1 - N)" and the field's range 1 .. N.
  void FormShow();
  // Puts the field on the position the next click fills, after a click
  // moved the counter on, so that typing a position always takes effect.
  void FollowCounter();

  QLabel* Label1;
  QSpinBox* Edit1;
  QPushButton* btnOK;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Edit1Change(int value);

  Document& doc_;
};

}  // namespace tarnak::gui
