#include "dialogs/strategy_dialogs.h"

namespace tarnak::gui {

TfrmPocket::TfrmPocket(Document& doc, std::filesystem::path settingsFolder, QWidget* parent)
    : StrategyDialogBase(StrategyDialog::Pocket, doc, std::move(settingsFolder), parent),
      txtPocketDepth(depthField()),
      cmdPocket(cmdAction) {}

TfrmContour::TfrmContour(Document& doc, std::filesystem::path settingsFolder, QWidget* parent)
    : StrategyDialogBase(StrategyDialog::Contour, doc, std::move(settingsFolder), parent),
      txtContourDepth(depthField()),
      cmdContour(cmdAction) {}

TfrmDrill::TfrmDrill(Document& doc, std::filesystem::path settingsFolder, QWidget* parent)
    : StrategyDialogBase(StrategyDialog::Drill, doc, std::move(settingsFolder), parent),
      txtDepth(depthField()),
      txtRoughRpm(txtRoughRPM),
      cmdDrill(cmdAction) {}

TfrmPCB::TfrmPCB(Document& doc, std::filesystem::path settingsFolder, QWidget* parent)
    : StrategyDialogBase(StrategyDialog::CircuitBoard, doc, std::move(settingsFolder), parent),
      txtContourDepth(depthField()),
      cmdRoute(cmdAction) {}

}  // namespace tarnak::gui
