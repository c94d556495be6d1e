#include "dialogs/stl_move_dialog.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <exception>
#include <string>

#include "base/numbers.h"
#include "dialogs/dialog_services.h"
#include "dialogs/dialog_widgets.h"
#include "shell/document.h"
#include "shell/stl_commands.h"
#include "toolpaths/machining_params.h"

namespace tarnak::gui {

namespace {

constexpr int kFieldMaxLength = 12;
constexpr const char* kNoScale = "0.000";
constexpr int kAxisZ = 2;

QString Three(double v) { return QString::fromStdString(FormatNumber("%.3f", v)); }

QLineEdit* NumberField(const char* name, QWidget* parent) {
  auto* field = new QLineEdit(parent);
  field->setObjectName(name);
  field->setMaxLength(kFieldMaxLength);
  return field;
}

QLabel* ValueLabel(const char* name, QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setObjectName(name);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return label;
}

}  // namespace

TfrmSTLMove::TfrmSTLMove(Document& doc, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint), doc_(doc) {
  setObjectName("TfrmSTLMove");
  setWindowTitle("Move, Scale and Rotate");

  auto* current = new QGroupBox("Current Parameters", this);
  auto* shown = new QFormLayout(current);
  lblMinX = ValueLabel("lblMinX", current);
  lblMinY = ValueLabel("lblMinY", current);
  lblCenterX = ValueLabel("lblCenterX", current);
  lblCenterY = ValueLabel("lblCenterY", current);
  lblTop = ValueLabel("lblTop", current);
  shown->addRow("Bottom Left X", lblMinX);
  shown->addRow("Bottom Left Y", lblMinY);
  shown->addRow("Center X", lblCenterX);
  shown->addRow("Center Y", lblCenterY);
  shown->addRow("Top (Z Max)", lblTop);

  auto* entered = new QGroupBox("Enter New Parameters", this);
  auto* fields = new QFormLayout(entered);
  txtX = NumberField("txtX", entered);
  txtY = NumberField("txtY", entered);
  txtZ = NumberField("txtZ", entered);
  txtScale = NumberField("txtScale", entered);
  fields->addRow("Bottom Left X", txtX);
  fields->addRow("Bottom Left Y", txtY);
  fields->addRow("Top", txtZ);
  fields->addRow("Scale Factor", txtScale);

  rgRotate = new RadioGroup("rgRotate", "Rotation Axis", {"X", "Y", "Z"}, this);
  rgRotate->setItemIndex(kAxisZ);
  txtRotation = NumberField("txtRotation", rgRotate);
  rgRotate->layout()->addWidget(txtRotation);

  btnApply = new QPushButton("Apply", this);
  btnApply->setObjectName("btnApply");
  btnApply->setDefault(true);
  btnCancel = new QPushButton("Cancel", this);
  btnCancel->setObjectName("btnCancel");
  btnCancel->setAutoDefault(false);
  connect(btnApply, &QPushButton::clicked, this, [this] { btnApplyClick(); });
  connect(btnCancel, &QPushButton::clicked, this, [this] { btnCancelClick(); });
  // Enter in any field applies, as the default button of a dialog would.
  for (QLineEdit* f : {txtX, txtY, txtZ, txtScale, txtRotation})
    connect(f, &QLineEdit::returnPressed, this, [this] { btnApplyClick(); });

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnApply);
  buttons->addWidget(btnCancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(current);
  layout->addWidget(entered);
  layout->addWidget(rgRotate);
  layout->addLayout(buttons);
}

void TfrmSTLMove::ShowCurrent() {
  const DrawingExtentsRec& e = doc_.DrawingExtents;
  lblMinX->setText(Three(e.MinX));
  lblMinY->setText(Three(e.MinY));
  lblCenterX->setText(Three((e.MinX + e.MaxX) / 2.0));
  lblCenterY->setText(Three((e.MinY + e.MaxY) / 2.0));
  lblTop->setText(Three(e.MaxZ));
  txtX->setText(Three(e.MinX));
  txtY->setText(Three(e.MinY));
  txtZ->setText(Three(e.MaxZ));
  txtScale->setText(kNoScale);
}

void TfrmSTLMove::FormShow() {
  ShowCurrent();
  show();
  raise();
  txtX->setFocus();
  txtX->selectAll();
}

void TfrmSTLMove::btnApplyClick() {
  if (!doc_.StlMode) return;
  StlMoveRequest request;
  try {
    request.X = ParseFieldFloat(txtX->text().toStdString());
    request.Y = ParseFieldFloat(txtY->text().toStdString());
    request.Top = ParseFieldFloat(txtZ->text().toStdString());
    request.Scale = ParseFieldFloat(txtScale->text().toStdString());
    const std::string angle = txtRotation->text().trimmed().toStdString();
    request.AngleDegrees = angle.empty() ? 0.0 : ParseFieldFloat(angle);
  } catch (const std::exception& e) {
    ShowError(doc_.ui(), e.what());
    return;
  }
  request.Axis = rgRotate->itemIndex() < 0 ? kAxisZ : rgRotate->itemIndex();
  ApplyStlMove(doc_, request);
  emit applied();
  ShowCurrent();
}

void TfrmSTLMove::btnCancelClick() {
  doc_.PickMode = kPickNone;
  hide();
}

}  // namespace tarnak::gui
