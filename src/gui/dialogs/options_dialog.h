// The options dialog: colours of the view and the editor, arc tolerances,
// directions, overlaps, text font and STL settings, and the current post.
//
// Every change takes effect at once in doc.Options (and, for the toolpath
// colours, in doc.MachiningParams); choosing a post loads it at once into
// doc.PostDefinition. The save button ("保存") writes "Options.cfg" into the
// settings folder, says "Options Saved!" and closes; the close button
// ("閉じる") only closes.
//
// Use: create once at start-up with the document, the settings folder
// (where "Options.cfg" and "Posts.Cfg" lie), the common dialogs (colour and
// font choosers; DialogServices::Standard() for the real ones) and the
// parent window; the options must already be loaded. Execute() refills the
// controls from the document and shows the dialog modally. Connect
// optionsChanged() to redraw the view and recolour the editor, and
// postLoaded() to whatever shows the post name.
#pragma once

#include <QDialog>
#include <filesystem>
#include <vector>

#include "dialogs/dialog_services.h"
#include "dialogs/dialog_widgets.h"
#include "shell/document.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace tarnak::gui {

class TfrmOptions : public QDialog {
  Q_OBJECT
 public:
  TfrmOptions(Document& doc, std::filesystem::path settingsFolder,
              DialogServices services = DialogServices::Standard(), QWidget* parent = nullptr);

  // Fills the controls from doc.Options and shows the dialog modally.
  void Execute();
  // Fills the controls from doc.Options (Execute does this first).
  void Fill();

  QTabWidget* PageControl1;

  // Screen colours page.
  ColourPanel* pnlUnClosed;
  ColourPanel* pnlUnOpen;
  ColourPanel* pnlClosed;
  ColourPanel* pnlIsland;
  ColourPanel* pnlOpen;
  ColourPanel* pnlRTool;
  ColourPanel* pnlFTool;
  ColourPanel* pnlBack;
  QCheckBox* chkDrawBoundaries;
  RadioGroup* rgMarkDirs;  // 0 first Element of each Region, 1 all Elements

  // Tolerances page.
  QLineEdit* txtMinArcLengthRough;
  QLineEdit* txtTanDevRough;
  QLineEdit* txtMinArcRadRough;
  QLineEdit* txtMinArcLengthFinish;
  QLineEdit* txtTanDevFinish;
  QLineEdit* txtMinArcRadFinish;

  // Editor page.
  ColourPanel* pnlCommandColor;
  ColourPanel* pnlAddressColor;
  ColourPanel* pnlCommentColor;
  RadioGroup* rgCommandStyle;  // 0 normal, 1 bold, 2 italic
  RadioGroup* rgAddressStyle;
  RadioGroup* rgCommentStyle;

  // Miscellaneous page.
  RadioGroup* rgDir;        // 0 clockwise, 1 counter-clockwise
  RadioGroup* rgPocketDir;  // 0 outside inward, 1 inside outward
  QCheckBox* chkTrace;
  QCheckBox* chkFix;
  QCheckBox* chkExpandBlocks;
  QLineEdit* txtOverlap;  // percent
  QComboBox* cmbPost;     // names of "Posts.Cfg"; typing blocked
  QGroupBox* grpOffset;   // Gerber tool offset, hidden
  QLineEdit* txtOffset;

  // Text page.
  QLineEdit* txtFont;  // a click opens the font chooser
  QLineEdit* txtFontPrecision;

  // STL page.
  QLineEdit* txtSTLDepth;
  QLineEdit* txtStlOverlap;  // percent
  QLineEdit* txtGridSize;
  QCheckBox* chkAir;

  QPushButton* cmdSave;   // "保存"
  QPushButton* cmdClose;  // "閉じる"

 signals:
  // A colour, style or display switch changed.
  void optionsChanged();
  // A post was chosen in the post list (and loaded, unless that failed).
  void postLoaded();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct PanelTarget {
    ColourPanel* Panel;
    Colour* Value;
  };

  ColourPanel* addColour(QGridLayout* grid, const char* name, const QString& label, Colour* value);
  QLineEdit* addNumber(QGridLayout* grid, const char* name, const QString& label, FieldKeys keys);
  void fillPostList();
  void colourPanelClick(const PanelTarget& target);
  void txtFontClick();
  void cmbPostChange(const QString& name);
  void cmdSaveClick();
  // Converts a field's text; false (after telling the user) when it is not
  // a number, so the option keeps its value.
  bool readFloat(const QLineEdit* field, double& value);

  Document& doc_;
  std::filesystem::path settingsFolder_;
  DialogServices services_;
  std::vector<PanelTarget> panels_;
};

}  // namespace tarnak::gui
