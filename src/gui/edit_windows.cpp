#include "edit_windows.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "base/numbers.h"
#include "shell/document.h"

namespace tarnak::gui {

namespace {

// TextToFloat of a field: empty text, a lone "-" or a half-typed number
// read as 0.
double FieldValue(const QLineEdit* field) {
  double v = 0.0;
  if (!TryTextToFloat(field->text().toStdString(), v)) return 0.0;
  return v;
}

QLineEdit* Field(QWidget* parent, const char* name, const QString& text, const char* allowed) {
  auto* e = new QLineEdit(text, parent);
  e->setObjectName(name);
  e->setValidator(new QRegularExpressionValidator(QRegularExpression(allowed), e));
  return e;
}

QLineEdit* Shown(QWidget* parent, const char* name) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(name);
  e->setReadOnly(true);
  return e;
}

QString Text(double v) { return QString::fromStdString(FormatMoveValue(v)); }

}  // namespace

TfrmMove1::TfrmMove1(Document& doc, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint), doc_(doc) {
  setObjectName("TfrmMove1");
  setWindowTitle("図形編集 ");
  auto* current = new QGroupBox("パラメータの選択", this);
  auto* cf = new QFormLayout(current);
  txtLowerLeftX = Shown(current, "txtLowerLeftX");
  txtLowerLeftY = Shown(current, "txtLowerLeftY");
  txtCentreX = Shown(current, "txtCentreX");
  txtCentreY = Shown(current, "txtCentreY");
  txtUpperRightX = Shown(current, "txtUpperRightX");
  txtUpperRightY = Shown(current, "txtUpperRightY");
  cf->addRow("左下Ｘ座標", txtLowerLeftX);
  cf->addRow("左下Ｙ座標", txtLowerLeftY);
  cf->addRow("中央Ｘ座標", txtCentreX);
  cf->addRow("中央Ｙ座標", txtCentreY);
  cf->addRow("右上Ｘ座標", txtUpperRightX);
  cf->addRow("右上Ｙ座標", txtUpperRightY);

  auto* typed = new QGroupBox("Enter New Parameters", this);
  auto* tf = new QFormLayout(typed);
  const char* kNumber = "[0-9.,-]*";
  txtX = Field(typed, "txtX", "0", kNumber);
  TxtY = Field(typed, "TxtY", "0", kNumber);
  txtSCale = Field(typed, "txtSCale", "0", kNumber);
  txtRotate = Field(typed, "txtRotate", "0", kNumber);
  tf->addRow("X", txtX);
  tf->addRow("Y", TxtY);
  tf->addRow("倍率", txtSCale);
  tf->addRow("回転角度", txtRotate);

  btnApply = new QPushButton("設定", this);
  btnApply->setObjectName("btnApply");
  btnCancel = new QPushButton("キャンセル", this);
  btnCancel->setObjectName("btnCancel");
  connect(btnApply, &QPushButton::clicked, this, &TfrmMove1::btnApplyClick);
  connect(btnCancel, &QPushButton::clicked, this, &TfrmMove1::btnCancelClick);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(btnApply);
  buttons->addWidget(btnCancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(current);
  layout->addWidget(typed);
  layout->addLayout(buttons);
}

void TfrmMove1::FormShow() {
  Refresh();
  show();
  raise();
}

void TfrmMove1::Refresh() {
  shown_ = MoveWindowRefresh(doc_, shown_);
  txtLowerLeftX->setText(Text(shown_.LowerLeftX));
  txtLowerLeftY->setText(Text(shown_.LowerLeftY));
  txtCentreX->setText(Text(shown_.CentreX));
  txtCentreY->setText(Text(shown_.CentreY));
  txtUpperRightX->setText(Text(shown_.UpperRightX));
  txtUpperRightY->setText(Text(shown_.UpperRightY));
  txtX->setText(Text(shown_.LowerLeftX));
  TxtY->setText(Text(shown_.LowerLeftY));
}

void TfrmMove1::btnApplyClick() {
  MoveFields f;
  f.X = FieldValue(txtX);
  f.Y = FieldValue(TxtY);
  f.Scale = FieldValue(txtSCale);
  f.RotateDegrees = FieldValue(txtRotate);
  const EditResult r = MoveApply(doc_, f, shown_);
  Refresh();
  if (r.Redraw) emit applied();
}

void TfrmMove1::btnCancelClick() {
  doc_.PickMode = kPickNone;
  hide();
}

TfrmAddDepths::TfrmAddDepths(Document& doc, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint), doc_(doc) {
  setObjectName("TfrmAddDepths");
  setWindowTitle("深さの追加");
  Edit1 = Field(this, "Edit1", "0", "[0-9.,]*");
  Edit2 = Field(this, "Edit2", "1", "[0-9]*");
  RadioGroup1 = new QGroupBox("Apply to selected", this);
  RadioGroup1->setObjectName("RadioGroup1");
  optBoundaries = new QRadioButton("Boundaries", RadioGroup1);
  optIslands = new QRadioButton("島", RadioGroup1);
  optSingle = new QRadioButton("Single Region", RadioGroup1);
  auto* rg = new QVBoxLayout(RadioGroup1);
  for (QRadioButton* b : {optBoundaries, optIslands, optSingle}) {
    rg->addWidget(b);
    connect(b, &QRadioButton::toggled, this, &TfrmAddDepths::RadioGroup1Click);
  }
  lblRegion = new QLabel("Region", this);
  Edit2->setEnabled(false);
  lblRegion->setEnabled(false);
  Button1 = new QPushButton("設定", this);
  Button1->setObjectName("Button1");
  Button2 = new QPushButton("キャンセル", this);
  Button2->setObjectName("Button2");
  connect(Button1, &QPushButton::clicked, this, &TfrmAddDepths::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &QWidget::hide);

  auto* form = new QFormLayout;
  form->addRow("深さ", Edit1);
  form->addRow(lblRegion, Edit2);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(Button1);
  buttons->addWidget(Button2);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(RadioGroup1);
  layout->addLayout(buttons);
}

void TfrmAddDepths::RadioGroup1Click() {
  Edit2->setEnabled(optSingle->isChecked());
  lblRegion->setEnabled(optSingle->isChecked());
}

void TfrmAddDepths::Button1Click() {
  const double d = FieldValue(Edit1);
  int k = 0;
  if (!TryTextToInt(Edit2->text().toStdString(), k)) k = 0;
  DepthTarget target = DepthTarget::None;
  if (optBoundaries->isChecked()) target = DepthTarget::Boundaries;
  if (optIslands->isChecked()) target = DepthTarget::Islands;
  if (optSingle->isChecked()) target = DepthTarget::Single;
  DepthApply(doc_, target, d, k);
  emit applied();
}

}  // namespace tarnak::gui
