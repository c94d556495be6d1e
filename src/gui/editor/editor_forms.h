// The NC editor's own windows: the renumbering dialog (TfrmReNumber), the
// Run palette (TfrmEdit) and the find-and-replace dialog. They hold no
// logic of their own: each button tells the main window what was asked,
// and the main window runs the core's text functions or the run state.
#pragma once

#include <QDialog>
#include <QWidget>

#include "editor/renumber.h"
#include "import/nc/nc_run.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace tarnak::gui {

// "ReNumber": start, increment and "Add Space"; Remove, Add, ReNumber.
// A tool window that stays on top, so that the user sees the text change.
class TfrmReNumber : public QWidget {
  Q_OBJECT
 public:
  enum class Action { Remove, Add, Renumber };
  explicit TfrmReNumber(QWidget* parent = nullptr);
  RenumberSettings Settings() const;

  QLineEdit *txtStart, *txtIncrement;
  QCheckBox* chkAddSpace;
  QPushButton *btnRemove, *btnAdd, *btnReNumber;

 signals:
  void requested(tarnak::gui::TfrmReNumber::Action action);
};

// "Run": steps through the program's moves in the view.
class TfrmEdit : public QWidget {
  Q_OBJECT
 public:
  explicit TfrmEdit(QWidget* parent = nullptr);

  QPushButton *btnNext, *btnNext10, *btnToCursor, *btnFromCursor, *btnToRapid, *btnToTool,
      *btnAll, *btnClear, *btnSearch, *btnReload, *btnSave, *btnReNumber;

 signals:
  void step(tarnak::NCRunButton button);
  void searchClicked();
  void reloadClicked();
  void saveClicked();
  void renumberClicked();
};

// Find and replace over the editor text: match case, find next, replace,
// replace all; the search runs downward.
class TReplaceDialog : public QDialog {
  Q_OBJECT
 public:
  explicit TReplaceDialog(QWidget* parent = nullptr);
  QString FindText() const;
  QString ReplaceText() const;
  bool MatchCase() const;

  QLineEdit *txtFind, *txtReplace;
  QCheckBox* chkMatchCase;
  QPushButton *btnFindNext, *btnReplace, *btnReplaceAll, *btnCancel;

 signals:
  void findRequested();
  void replaceRequested();
  void replaceAllRequested();
};

}  // namespace tarnak::gui
