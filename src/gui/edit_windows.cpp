#include "edit_windows.h"

#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "base/numbers.h"
#include "editing/walls.h"
#include "geometry/primitives.h"
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

TfrmAddWalls::TfrmAddWalls(Document& doc, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint), doc_(doc) {
  setObjectName("TfrmAddWalls");
  setWindowTitle("Add Walls");
  cmbProfile = new QComboBox(this);
  cmbProfile->setObjectName("cmbProfile");
  cmbProfBound = new QComboBox(this);
  cmbProfBound->setObjectName("cmbProfBound");
  cmbProfBound->setEditable(true);
  cmbProfBound->setValidator(
      new QRegularExpressionValidator(QRegularExpression("[0-9]*"), cmbProfBound));
  txtDeltaX = Field(this, "txtDeltaX", "0", "[0-9.]*");
  txtDeltaX->installEventFilter(this);
  // Pasted text would bypass the key rules below.
  txtDeltaX->setContextMenuPolicy(Qt::NoContextMenu);
  txtDeltaX->setAcceptDrops(false);
  picProfile = new QLabel(this);
  picProfile->setObjectName("picProfile");
  picProfile->setFixedSize(160, 160);
  Button1 = new QPushButton("Apply", this);
  Button1->setObjectName("Button1");
  Button2 = new QPushButton("キャンセル", this);
  Button2->setObjectName("Button2");
  connect(cmbProfile, &QComboBox::currentTextChanged, this, &TfrmAddWalls::cmbProfileChange);
  connect(cmbProfBound, &QComboBox::currentTextChanged, this, &TfrmAddWalls::cmbProfBoundChange);
  connect(Button1, &QPushButton::clicked, this, &TfrmAddWalls::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &QWidget::hide);

  auto* form = new QFormLayout;
  form->addRow("Profile", cmbProfile);
  form->addRow("Region", cmbProfBound);
  form->addRow("Delta", txtDeltaX);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(Button1);
  buttons->addWidget(Button2);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(picProfile);
  layout->addLayout(buttons);
}

void TfrmAddWalls::FormShow() {
  const QSignalBlocker a(cmbProfile), b(cmbProfBound);
  cmbProfile->clear();
  for (size_t k = 1; k < doc_.ProfileLibrary.size(); ++k) cmbProfile->addItem(QString::number(k));
  cmbProfBound->clear();
  for (size_t k = 1; k < doc_.Regions.size(); ++k) cmbProfBound->addItem(QString::number(k));
  QPixmap white(picProfile->size());
  white.fill(Qt::white);
  picProfile->setPixmap(white);
  show();
  raise();
}

void TfrmAddWalls::cmbProfileChange() {
  int k = 0;
  if (!TryTextToInt(cmbProfile->currentText().toStdString(), k) || k < 1 ||
      static_cast<size_t>(k) >= doc_.ProfileLibrary.size())
    return;
  const TTNRegion& p = doc_.ProfileLibrary[static_cast<size_t>(k)];
  QPixmap pic(picProfile->size());
  pic.fill(Qt::white);
  // Fitted with a margin of 5 pixels, one scale for both axes so that the
  // profile keeps its shape; Y points up as in the drawing.
  const double w = p.MaxX - p.MinX, h = p.MaxY - p.MinY;
  const double room = std::min(pic.width(), pic.height()) - 10.0;
  const double scale = std::max(w, h) > 0 ? room / std::max(w, h) : 1.0;
  const auto at = [&](Point2 q) {
    return QPointF(5.0 + (q.X - p.MinX) * scale, pic.height() - 5.0 - (q.Y - p.MinY) * scale);
  };
  QPainter painter(&pic);
  painter.setPen(Qt::black);
  for (const TTNEntity& e : p.Elements) {
    if (e.Radius != 0) {
      painter.drawLine(at(ElementStart(e)), at(ArcMidPoint(e)));
      painter.drawLine(at(ArcMidPoint(e)), at(ElementEnd(e)));
    } else {
      painter.drawLine(at(ElementStart(e)), at(ElementEnd(e)));
    }
  }
  painter.end();
  picProfile->setPixmap(pic);
}

void TfrmAddWalls::cmbProfBoundChange() {
  int k = 0;
  if (!TryTextToInt(cmbProfBound->currentText().toStdString(), k)) return;
  const int n = static_cast<int>(doc_.Regions.size()) - 1;
  if (k > n) {
    k = 1;
    const QSignalBlocker block(cmbProfBound);
    cmbProfBound->setEditText("1");
  }
  if (k < 1 || k > n) return;
  const TTNRegion& r = doc_.Regions[static_cast<size_t>(k)];
  cmbProfile->setCurrentText(QString::number(r.WallProfile));
  txtDeltaX->setText(QString::number(static_cast<double>(r.WallDelta)));
}

int TfrmAddWalls::ChosenRegion() const {
  int k = 0;
  if (!TryTextToInt(cmbProfBound->currentText().toStdString(), k)) return 0;
  return k;
}

// The Delta field takes digits and "." only; every other typed character,
// backspace too, is dropped, so that a value is retyped from scratch. Two
// keys fill the field from the chosen Region instead: "-" with its wall
// height and Enter, on a negative value, with the depth its wall reaches.
// Keys that type nothing (arrows, Delete) and Tab / Escape still work.
bool TfrmAddWalls::eventFilter(QObject* watched, QEvent* event) {
  if (watched != txtDeltaX || event->type() != QEvent::KeyPress)
    return QWidget::eventFilter(watched, event);
  auto* key = static_cast<QKeyEvent*>(event);
  if (key->matches(QKeySequence::Paste)) return true;
  if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
    double depth = 0.0;
    if (FieldValue(txtDeltaX) < 0.0 && WallFloorDepth(doc_.Regions, ChosenRegion(), depth))
      txtDeltaX->setText(QString::fromStdString(FloatToStr(depth)));
    return true;
  }
  const QString text = key->text();
  if (text == QLatin1String("-")) {
    const std::string h = WallHeightText(doc_.Regions, ChosenRegion());
    if (!h.empty()) txtDeltaX->setText(QString::fromStdString(h));
    return true;
  }
  if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab || key->key() == Qt::Key_Escape ||
      text.isEmpty())
    return QWidget::eventFilter(watched, event);
  for (const QChar c : text)
    if (!(c.isDigit() && c.unicode() < 128) && c != QLatin1Char('.')) return true;
  return QWidget::eventFilter(watched, event);
}

void TfrmAddWalls::Button1Click() {
  const auto say = [&](const char* text) {
    doc_.ui().Message(text, "Tarnak", MsgButtons::Ok, MsgIcon::Warning);
  };
  if (txtDeltaX->text().isEmpty()) return say("No Delta Value");
  const double delta = FieldValue(txtDeltaX);
  if (delta == 0.0) return say("Delta value should be greater than 0.");
  if (cmbProfBound->currentText().isEmpty()) return say("No Region Selected");
  if (cmbProfile->currentText().isEmpty()) return say("No Profile Selected");
  int k = 0, profile = 0;
  if (!TryTextToInt(cmbProfBound->currentText().toStdString(), k) ||
      !TryTextToInt(cmbProfile->currentText().toStdString(), profile))
    return;
  if (AssignWall(doc_.Regions, k, profile, delta)) emit applied();
}

}  // namespace tarnak::gui
