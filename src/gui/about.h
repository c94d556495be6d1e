// The about box: the program's name, version and what it is for.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace tarnak::gui {

// The version the about box and the splash window show.
inline constexpr const char* kTarnakVersion = "0.1";

class TfrmAbout1 : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmAbout1(QWidget* parent = nullptr);

  QLabel* lblTitle;
  QLabel* lblVersion;
  QLabel* lblText;
  QPushButton* cmdOK;
};

}  // namespace tarnak::gui
