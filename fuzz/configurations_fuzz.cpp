// Feeds arbitrary bytes to the preset loader as "Configurations.cfg": every
// section, loaded into every strategy dialog, must neither crash, hang nor
// read out of bounds.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>

#include "settings_fuzz_util.h"
#include "toolpaths/machining_params.h"
#include "toolpaths/presets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using tarnak::StrategyDialog;
  const std::filesystem::path file = tarnak::fuzz::InputFile("Configurations.cfg", data, size);
  for (const std::string& name : tarnak::PresetNames(file)) {
    for (StrategyDialog dialog : {StrategyDialog::Pocket, StrategyDialog::Contour,
                                  StrategyDialog::Drill, StrategyDialog::CircuitBoard,
                                  StrategyDialog::Prototype}) {
      tarnak::StrategyDialogFields fields;
      (void)tarnak::LoadPreset(file, name, dialog, fields);
      tarnak::TTNMachiningParameters params;
      try {
        (void)tarnak::FillMachiningParams(dialog, fields, params);
      } catch (const std::exception&) {
        // Refusing a value is an answer; only a crash is a finding.
      }
    }
  }
  return 0;
}
