// The four strategy dialogs: pocket, contour, drill and circuit-board
// routing. Each is created once with
//     (Document& doc, std::filesystem::path settingsFolder, QWidget* parent)
// and shown with Execute() (see strategy_dialog.h for what it fills and
// returns). Beside the shared controls each names its own depth field and
// action button.
#pragma once

#include "dialogs/strategy_dialog.h"

namespace tarnak::gui {

class TfrmPocket : public StrategyDialogBase {
  Q_OBJECT
 public:
  TfrmPocket(Document& doc, std::filesystem::path settingsFolder, QWidget* parent = nullptr);
  QLineEdit* txtPocketDepth;
  QPushButton* cmdPocket;  // "ポケット"
};

class TfrmContour : public StrategyDialogBase {
  Q_OBJECT
 public:
  TfrmContour(Document& doc, std::filesystem::path settingsFolder, QWidget* parent = nullptr);
  QLineEdit* txtContourDepth;
  QPushButton* cmdContour;  // "輪郭加工"
};

class TfrmDrill : public StrategyDialogBase {
  Q_OBJECT
 public:
  TfrmDrill(Document& doc, std::filesystem::path settingsFolder, QWidget* parent = nullptr);
  QLineEdit* txtDepth;
  QLineEdit* txtRoughRpm;  // the shared txtRoughRPM member, under the drill's name
  QPushButton* cmdDrill;   // "ドリル"
};

class TfrmPCB : public StrategyDialogBase {
  Q_OBJECT
 public:
  TfrmPCB(Document& doc, std::filesystem::path settingsFolder, QWidget* parent = nullptr);
  QLineEdit* txtContourDepth;
  QPushButton* cmdRoute;  // "ルート"
};

}  // namespace tarnak::gui
