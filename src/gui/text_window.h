// The add-text window "True Type Fonts": a stay-on-top tool window, shown
// without blocking, that places a line of text at a clicked point ("By
// Point") or at typed coordinates ("Enter Below"), straight or along a
// circle, and adds it as Regions through the core's add command.
#pragma once

#include <QWidget>

#include <optional>

#include "geometry/geometry.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tarnak {
class Document;
struct TextAddParams;
}

namespace tarnak::gui {

// PickMode while the window is shown: a click places the text / the
// coordinates are typed.
inline constexpr int kPickTextByPoint = 321;
inline constexpr int kPickTextEnterBelow = 322;

class TfrmText1 : public QWidget {
  Q_OBJECT
 public:
  explicit TfrmText1(Document& doc, QWidget* parent = nullptr);

  void FormShow();
  // The pointer over the view, written into the origin fields in "By Point".
  void PointerAt(Point2 p);
  void btnAddTextClick();

  QRadioButton *optAlignmentPoint, *optAlignmentEnter, *optLinear, *optArc;
  QRadioButton *optLeft, *optCent, *optRight;
  QCheckBox *chkAlignmentX, *chkAlignmentY;
  QLabel *lblX, *lblY;
  QLineEdit *txtBoundBoxX, *txtBoundBoxY, *txtAng, *txtRad, *txtFont, *txtHeight, *Text1;
  QPushButton *btnAddText, *btnCancel;
  // The single-stroke faces, which the font dialog cannot list.
  QComboBox* cboHershey;

  // The box the text will take in the drawing, while text, height and both
  // origin values are filled in.
  const std::optional<Box>& PreviewBox() const { return preview_; }

 signals:
  // Regions were added: the main window redraws and enables its commands.
  void textAdded();
  // The preview box moved, changed or went away (`shown` false): the view
  // erases the old one and draws the new.
  void previewChanged(bool shown, tarnak::Box box);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ModeChanged();
  void LayoutChanged();
  void CentreChanged();
  void txtFontDblClick();
  void UseFace(const QString& face, bool bold, bool italic);
  // The fields as add parameters; false when text, height or an origin
  // value (or the radius of an arc) is not filled in.
  bool ReadParams(TextAddParams& p) const;
  void UseFieldFace();
  void UpdatePreview();
  void SetPreview(std::optional<Box> box);

  Document& doc_;
  std::optional<Box> preview_;
};

}  // namespace tarnak::gui
