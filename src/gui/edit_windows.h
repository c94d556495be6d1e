// The geometry editing tool windows: move/scale/rotate (TfrmMove1),
// depths (TfrmAddDepths) and wall profiles (TfrmAddWalls). They stay on top without blocking, so the user
// goes on selecting in the view while one is open; each button acts on the
// selection of that moment. Closing hides them; fields keep what was typed.
#pragma once

#include <QWidget>

#include "shell/edit_commands.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tarnak {
class Document;
}

namespace tarnak::gui {

class TfrmMove1 : public QWidget {
  Q_OBJECT
 public:
  explicit TfrmMove1(Document& doc, QWidget* parent = nullptr);
  // Shows the window with the values of the selection of the moment.
  void FormShow();
  // The six values and the two position fields from the selection box.
  void Refresh();

  QLineEdit *txtLowerLeftX, *txtLowerLeftY, *txtCentreX, *txtCentreY, *txtUpperRightX,
      *txtUpperRightY;
  QLineEdit *txtX, *TxtY, *txtSCale, *txtRotate;
  QPushButton *btnApply, *btnCancel;

 signals:
  // The drawing changed: the view must be redrawn.
  void applied();

 private:
  void btnApplyClick();
  void btnCancelClick();
  Document& doc_;
  MoveWindowValues shown_;
};

class TfrmAddDepths : public QWidget {
  Q_OBJECT
 public:
  explicit TfrmAddDepths(Document& doc, QWidget* parent = nullptr);

  QLineEdit *Edit1, *Edit2;
  QLabel* lblRegion;
  QGroupBox* RadioGroup1;
  QRadioButton *optBoundaries, *optIslands, *optSingle;
  QPushButton *Button1, *Button2;

 signals:
  void applied();

 private:
  void Button1Click();
  void RadioGroup1Click();
  Document& doc_;
};

// Assigns a profile of the library and a wall delta to one Region.
class TfrmAddWalls : public QWidget {
  Q_OBJECT
 public:
  explicit TfrmAddWalls(Document& doc, QWidget* parent = nullptr);
  // Refills the two number lists and clears the preview.
  void FormShow();

  QComboBox *cmbProfile, *cmbProfBound;
  QLineEdit* txtDeltaX;
  QLabel* picProfile;
  QPushButton *Button1, *Button2;

 signals:
  void applied();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void cmbProfileChange();
  void cmbProfBoundChange();
  void Button1Click();
  // The Region chosen in cmbProfBound; 0 when none is.
  int ChosenRegion() const;
  Document& doc_;
};

}  // namespace tarnak::gui
