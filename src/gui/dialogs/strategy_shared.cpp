#include "dialogs/strategy_shared.h"

#include <QComboBox>
#include <algorithm>
#include <exception>
#include <string>
#include <vector>

#include "dialogs/dialog_services.h"
#include "base/numbers.h"
#include "toolpaths/machining_params.h"
#include "toolpaths/presets.h"

namespace tarnak::gui {

void ShowToolNumber(QComboBox* combo, const std::string& value) {
  double number = 0.0;
  if (!TryParseFieldFloat(value, number)) number = 0.0;
  if (combo) combo->setCurrentIndex(std::clamp(RoundToInt32(number), 0, kToolNumbers - 1));
}

void FillPresetCombo(QComboBox* combo, const std::filesystem::path& file, UserInterface& ui) {
  std::vector<std::string> names;
  try {
    names = PresetNames(file);
  } catch (const std::exception& e) {
    ShowError(ui, e.what());
  }
  const QString text = combo->currentText();
  combo->clear();
  for (const std::string& name : names) combo->addItem(QString::fromStdString(name));
  combo->setEditText(text);
}

void DeletePresetInCombo(QComboBox* combo, const std::filesystem::path& file, UserInterface& ui,
                         const QString& name) {
  const std::string preset = name.trimmed().toStdString();
  if (IsNoPresetName(preset)) return;
  try {
    if (!DeletePreset(file, preset)) return;
  } catch (const std::exception& e) {
    ShowError(ui, e.what());
    return;
  }
  FillPresetCombo(combo, file, ui);
  combo->setEditText(combo->count() > 0 ? combo->itemText(0)
                                        : QString::fromUtf8(kNoPresetText.data(),
                                                            static_cast<qsizetype>(kNoPresetText.size())));
}

}  // namespace tarnak::gui
