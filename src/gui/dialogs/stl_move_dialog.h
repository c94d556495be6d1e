// The model's move, scale and rotate window ("Move, Scale and Rotate"): a
// small stay-on-top window, shown without blocking from the STL edit menu,
// that shows where the model lies and places it anew.
//
// "Current Parameters" shows the model's lower-left corner, its centre and
// its top. Apply scales the model about the origin by txtScale ("0.000":
// no scaling), turns it by txtRotation degrees about the axis chosen in
// rgRotate, then moves its lower-left corner to txtX, txtY and its top to
// txtZ (ApplyStlMove of the shell). The corner and top fields start from
// the model as it lies, so Apply with one field changed changes only that.
// Cancel hides the window and clears any pending pick.
#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace tarnak {
class Document;
}

namespace tarnak::gui {

class RadioGroup;

class TfrmSTLMove : public QWidget {
  Q_OBJECT
 public:
  explicit TfrmSTLMove(Document& doc, QWidget* parent = nullptr);

  // Shows the window for the model of the moment.
  void FormShow();
  // Shows the current parameters again and refills the fields from them.
  void ShowCurrent();

  // Current parameters, three decimals each.
  QLabel *lblMinX, *lblMinY, *lblCenterX, *lblCenterY, *lblTop;
  QLineEdit *txtX, *txtY, *txtZ, *txtScale, *txtRotation;
  RadioGroup* rgRotate;  // "X", "Y", "Z"; Z at start
  QPushButton *btnApply, *btnCancel;

 signals:
  // The model was moved: the main window zooms to it and redraws.
  void applied();

 private:
  void btnApplyClick();
  void btnCancelClick();

  Document& doc_;
};

}  // namespace tarnak::gui
