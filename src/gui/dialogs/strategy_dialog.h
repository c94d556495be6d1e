// What the pocket, contour, drill and circuit-board dialogs share: the
// field texts of one strategy, the named presets of "Configurations.cfg",
// and the action button that fills the machining parameters.
//
// The dialogs hold no machining logic: they keep the texts and choices the
// user typed, and the action button hands them to FillMachiningParams.
//
// Use (see strategy_dialogs.h for the four dialogs):
//   - Create each dialog once at start-up with the document, the settings
//     folder (where "Configurations.cfg" lies) and the parent window. The
//     constructor fills the preset list and loads the preset "LAST".
//   - Execute() shows it modally. It returns true only when the user pressed
//     the action button; then doc.MachiningParams is filled, the post's
//     line numbering (doc.PostDefinition.Start and Increment) is set and
//     the preset "LAST" saved. The caller then applies depth() to the
//     selected Regions (ApplyDialogDepth) and runs the strategy. On cancel
//     (button, Escape or close box) nothing is filled and doc.PickMode is 0.
//   - A field that is not a number, or a tool value the strategy cannot
//     cut with (CheckStrategyParams), is reported and focused by the
//     action button; the dialog stays open and nothing is filled or saved.
//   - The check box "ツールパスに追加" asks for the new toolpaths to be
//     added to the ones already made (toolpathsMode()); it is not part of
//     the presets, and starts clear, the replacing behaviour.
#pragma once

#include <QDialog>
#include <QString>
#include <array>
#include <filesystem>

#include "dialogs/dialog_widgets.h"
#include "shell/document.h"
#include "toolpaths/machining_params.h"
#include "toolpaths/param_checks.h"
#include "toolpaths/presets.h"
#include "shell/toolpath_batch.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tarnak::gui {

class StrategyDialogBase : public QDialog {
  Q_OBJECT
 public:
  // Shows the dialog modally; true when closed through the action button.
  bool Execute();

  StrategyDialog kind() const { return kind_; }
  const std::filesystem::path& presetFile() const { return presetFile_; }

  // The texts and choices as the controls show them. Fields this dialog
  // has no control for keep the values last given to setFields.
  StrategyDialogFields fields() const;
  // Sets every control from the fields.
  void setFields(const StrategyDialogFields& fields);

  // The dialog depth as a number (what ApplyDialogDepth takes).
  double depth() const;
  // The line numbering of the last action-button press.
  LineNumbering numbering() const { return numbering_; }
  // Whether the next run replaces the toolpaths or adds to them.
  ToolpathsMode toolpathsMode() const;
  // The control of a number field; null where this dialog has none.
  QLineEdit* fieldControl(ParamField field) const;

  // The preset buttons, by name (the buttons use the preset combo's text).
  // Load sets the controls only; Save reports "Configuration NAME saved"
  // and lists the name; Delete lists what is left and shows its first name.
  // All three do nothing for "None", "なし" or an empty name.
  void LoadConfig(const QString& name);
  void SaveConfig(const QString& name);
  void DeleteConfig(const QString& name);

  // ---- controls; null where this dialog has none ----
  QLineEdit* txtRapidHeight = nullptr;
  QLineEdit* txtStartAt = nullptr;
  QLineEdit* txtIncrement = nullptr;
  QComboBox* cmbCoolant = nullptr;  // "Off", "On"
  QComboBox* Combo1 = nullptr;      // rough tool number "0".."9"
  QLineEdit* txtRoughName = nullptr;
  QLineEdit* txtRoughDia = nullptr;
  QLineEdit* txtRoughXY = nullptr;
  QLineEdit* txtRoughZ = nullptr;
  QLineEdit* txtStock = nullptr;
  QLineEdit* txtRoughRPM = nullptr;  // named "txtRoughRpm" in the drill dialog
  QLineEdit* txtRoughFeed = nullptr;
  QLineEdit* txtRoughPlunge = nullptr;

  QCheckBox* SSCheck1 = nullptr;  // "仕上げ加工パスを使う"
  QGroupBox* grpFinish = nullptr;
  QComboBox* Combo3 = nullptr;    // finish tool number
  QLineEdit* txtFinishName = nullptr;
  QLineEdit* txtFinishDia = nullptr;
  QLineEdit* txtFinishXY = nullptr;
  QLineEdit* txtFinishZ = nullptr;
  QLineEdit* txtFinishRPM = nullptr;
  QLineEdit* txtFinishFeed = nullptr;
  RadioGroup* optFinish = nullptr;  // pocket: islands / + boundaries / + bottom

  RadioGroup* grpCompensation = nullptr;  // contour
  QRadioButton* optCompNone = nullptr;
  QRadioButton* optCompRight = nullptr;
  QRadioButton* optCompLeft = nullptr;
  QRadioButton* optCompCut = nullptr;

  RadioGroup* grpEntry = nullptr;  // buttons optEntry_0..optEntry_3
  RadioGroup* grpExit = nullptr;   // buttons optExit_0..optExit_3
  std::array<QRadioButton*, 4> optEntry{};
  std::array<QRadioButton*, 4> optExit{};
  std::array<QLineEdit*, 2> txtLength{};  // txtLength_0 entry, txtLength_1 exit
  std::array<FocusLabel*, 2> lblLength{};

  QGroupBox* fraMoves = nullptr;  // drill, hidden
  QRadioButton* optCanned = nullptr;
  QRadioButton* optLin = nullptr;

  QLineEdit* txtPasses = nullptr;   // circuit board: isolation passes
  QLineEdit* txtOverlap = nullptr;  // circuit board: overlap of the passes, 0 to below 1

  QCheckBox* chkAddToolpaths = nullptr;  // "ツールパスに追加"

  QComboBox* cmbConfig = nullptr;  // preset names, sorted; text "なし" at start
  QPushButton* cmdLoadConfig = nullptr;
  QPushButton* cmdSaveConfig = nullptr;
  QPushButton* cmdDeleteConfig = nullptr;
  QPushButton* cmdAction = nullptr;  // "ポケット", "輪郭加工", "ドリル" or "ルート"
  QPushButton* cmdCancel = nullptr;

 protected:
  StrategyDialogBase(StrategyDialog kind, Document& doc, std::filesystem::path settingsFolder,
                     QWidget* parent);

  QLineEdit* depthField() const { return depthField_; }
  void reject() override;

 private:
  void build();
  QLineEdit* addField(QGridLayout* grid, const char* name, const QString& label, FieldKeys keys);
  QLineEdit* addTextField(QGridLayout* grid, const char* name, const QString& label);
  QComboBox* addToolCombo(QGridLayout* grid, const char* name, const QString& label);
  RadioGroup* addLeadGroup(const QString& title, const char* prefix, int which,
                           std::array<QRadioButton*, 4>& buttons);
  void fillPresetList();
  // Reports the problem and puts the focus on its field.
  void showProblem(const ParamProblem& problem);

  void cmdActionClick();
  void cmdLoadConfigClick();
  void cmdSaveConfigClick();
  void cmdDeleteConfigClick();
  void txtRoughDiaChange();
  void txtFinishDiaChange();
  void optLeadClick(int which, int kind);
  void updateLeadLabels();
  void updateEnabling();

  StrategyDialog kind_;
  Document& doc_;
  std::filesystem::path presetFile_;
  StrategyDialogFields stored_;
  LineNumbering numbering_;
  QLineEdit* depthField_ = nullptr;
};

}  // namespace tarnak::gui
