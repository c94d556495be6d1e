// The prototype machining dialog (`TfrmStl`): the rough and finish tools of
// the raster cut of an STL model, its stock box and margin, male or
// female, the directions (finishing "なし" for none) and the presets.
//
// The dialog keeps no rules of its own: its controls show a
// PrototypeDialogFields (toolpaths/raster/prototype_fields.h), and every
// change goes through that model's functions (a new rough diameter
// proposes steps and stock, a V cutter enables its angle, "なし" disables
// the finish tool, the margin sets the stock box), so the command line
// reads fields and presets exactly as the dialog does.
//
// Created once at start-up; Execute() shows it modally with the stock box
// of the parameters, and returns true when "OK" (btnMachine2) filled
// doc.MachiningParams (checked first: a problem is shown at its field and
// the dialog stays), saved the preset "LAST" and set PickMode 501.
#pragma once

#include <QDialog>
#include <QString>
#include <filesystem>

#include "shell/document.h"
#include "toolpaths/raster/prototype_fields.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tarnak::gui {

class RadioGroup;

class TfrmStl : public QDialog {
  Q_OBJECT
 public:
  TfrmStl(Document& doc, std::filesystem::path settingsFolder, QWidget* parent = nullptr);

  bool Execute();
  // The fields as the controls show them, and the other way round.
  PrototypeDialogFields fields() const;
  void setFields(const PrototypeDialogFields& fields);
  // What opening a model does to the margin field (no stock box change).
  void SetMargin(const QString& text);
  const std::filesystem::path& presetFile() const { return presetFile_; }

  // Preset buttons by name; nothing for "None", "なし" or an empty name.
  void LoadConfig(const QString& name);
  void SaveConfig(const QString& name);
  void DeleteConfig(const QString& name);

  // ---- controls ----
  QLineEdit *txtRapidHeight, *txtStartAt, *txtIncrement;
  QComboBox* cmbCoolant;  // "Off", "On"
  QComboBox* Combo1;      // rough tool number
  QLineEdit *txtRoughName, *txtRoughDia, *txtRoughX, *txtRoughY, *txtRoughZ, *txtStock,
      *txtRoughRPM, *txtRoughFeed, *txtRoughPlunge, *txtRoughAngle;
  RadioGroup* rgRoughToolType;  // "End", "Ball ", "V"
  QComboBox* Combo3;            // finish tool number
  QLineEdit *txtFinishName, *txtFinishDia, *txtFinishX, *txtFinishY, *txtFinishZ,
      *txtFinishRPM, *txtFinishFeed, *txtFinishAngle;
  RadioGroup* rgFinishToolType;
  QLineEdit *txtX12, *txtY12, *txtZ12, *txtX22, *txtY22, *txtZ22, *txtMargin;
  QRadioButton *rbMale2, *rbFemale2;
  RadioGroup* rgRoughDir;   // "X", "Y"
  RadioGroup* rgFinishDir;  // "X", "Y", "なし"
  QComboBox* cmbConfig;
  QPushButton *cmdLoadConfig, *cmdSaveConfig, *cmdDeleteConfig;
  QPushButton *btnMachine2, *btnCancel2;

 protected:
  void reject() override;

 private:
  void build();
  void fillPresetList();
  // Runs one of the field model's rules on the fields as shown.
  template <typename Rule>
  void applyRule(Rule rule);
  void updateEnabling();
  QLineEdit* fieldControl(PrototypeField field) const;
  void btnMachine2Click();

  Document& doc_;
  std::filesystem::path presetFile_;
  PrototypeDialogFields stored_;
};

}  // namespace tarnak::gui
