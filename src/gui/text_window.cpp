#include "text_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include <optional>

#include "base/numbers.h"
#include "import/text/hershey_font.h"
#include "selection/region_selection.h"
#include "shell/document.h"
#include "shell/text_commands.h"
#include "toolpaths/drill.h"

namespace tarnak::gui {

namespace {

std::optional<double> FieldValue(const QLineEdit* field) {
  double v = 0.0;
  const std::string t = field->text().trimmed().toStdString();
  if (t.empty() || !TryTextToFloatAnySeparator(t, v)) return std::nullopt;
  return v;
}

}  // namespace

TfrmText1::TfrmText1(Document& doc, QWidget* parent) : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint), doc_(doc) {
  setObjectName("TfrmText1");
  setWindowTitle("True Type Fonts");
  auto* grid = new QGridLayout(this);
  auto field = [this](const char* name, const QString& text) {
    auto* e = new QLineEdit(text, this);
    e->setObjectName(name);
    return e;
  };
  // Numeric fields take digits, '-', '.' and ',' only.
  auto* numeric = new QRegularExpressionValidator(QRegularExpression("[0-9.,\\-]*"), this);
  auto radio = [this](const char* name, const char* caption) {
    auto* r = new QRadioButton(QString::fromUtf8(caption), this);
    r->setObjectName(name);
    return r;
  };
  auto* placing = new QGroupBox(this);
  auto* placingLayout = new QVBoxLayout(placing);
  optAlignmentPoint = radio("optAlignmentPoint", "By Point");
  optAlignmentEnter = radio("optAlignmentEnter", "Enter Below");
  chkAlignmentX = new QCheckBox("Center X of Selected", this);
  chkAlignmentX->setObjectName("chkAlignmentX");
  chkAlignmentY = new QCheckBox("Center Y of Selected", this);
  chkAlignmentY->setObjectName("chkAlignmentY");
  for (QWidget* w : std::initializer_list<QWidget*>{optAlignmentPoint, optAlignmentEnter, chkAlignmentX, chkAlignmentY})
    placingLayout->addWidget(w);
  optAlignmentPoint->setChecked(true);

  auto* layout = new QGroupBox(this);
  auto* layoutLayout = new QVBoxLayout(layout);
  optLinear = radio("optLinear", "Linear");
  optArc = radio("optArc", "Arc");
  layoutLayout->addWidget(optLinear);
  layoutLayout->addWidget(optArc);
  optLinear->setChecked(true);

  auto* rgArc = new QGroupBox(this);
  rgArc->setObjectName("rgArc");
  auto* alignLayout = new QVBoxLayout(rgArc);
  optLeft = radio("optLeft", "Left");
  optCent = radio("optCent", "Cent");
  optRight = radio("optRight", "Right");
  for (QRadioButton* r : {optLeft, optCent, optRight}) alignLayout->addWidget(r);
  optLeft->setChecked(true);

  lblX = new QLabel("Origin X", this);
  lblY = new QLabel("Origin Y", this);
  txtBoundBoxX = field("txtBoundBoxX", "0");
  txtBoundBoxY = field("txtBoundBoxY", "0");
  txtAng = field("txtAng", "0");
  txtRad = field("txtRad", "0");
  txtHeight = field("txtHeight", "1");
  txtFont = field("txtFont", "");
  Text1 = field("Text1", "");
  for (QLineEdit* e : {txtBoundBoxX, txtBoundBoxY, txtAng, txtRad, txtHeight}) e->setValidator(numeric);
  txtFont->installEventFilter(this);
  btnAddText = new QPushButton("Add", this);
  btnAddText->setObjectName("btnAddText");
  btnAddText->setDefault(true);
  btnCancel = new QPushButton("Cancel", this);
  btnCancel->setObjectName("btnCancel");

  grid->addWidget(placing, 0, 0, 1, 2);
  grid->addWidget(layout, 1, 0);
  grid->addWidget(rgArc, 1, 1);
  int row = 2;
  auto labelled = [&](QWidget* label, QWidget* w) {
    grid->addWidget(label, row, 0);
    grid->addWidget(w, row++, 1);
  };
  labelled(lblX, txtBoundBoxX);
  labelled(lblY, txtBoundBoxY);
  labelled(new QLabel("Angle", this), txtAng);
  labelled(new QLabel("Radius", this), txtRad);
  // The font dialog lists only the system's fonts: the single-stroke
  // engraving faces are offered beside the field.
  cboHershey = new QComboBox(this);
  cboHershey->setObjectName("cboHershey");
  cboHershey->addItem("Hershey...");
  for (const std::string& face : HersheyFaceNames()) cboHershey->addItem(QString::fromStdString(face));
  auto* fontRow = new QHBoxLayout;
  fontRow->addWidget(txtFont, 1);
  fontRow->addWidget(cboHershey);
  grid->addWidget(new QLabel("Font", this), row, 0);
  grid->addLayout(fontRow, row++, 1);
  labelled(new QLabel("Height", this), txtHeight);
  labelled(new QLabel("Text", this), Text1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(btnAddText);
  buttons->addWidget(btnCancel);
  grid->addLayout(buttons, row, 0, 1, 2);

  connect(optAlignmentPoint, &QRadioButton::toggled, this, [this] { ModeChanged(); });
  connect(optLinear, &QRadioButton::toggled, this, [this] { LayoutChanged(); });
  connect(chkAlignmentX, &QCheckBox::toggled, this, [this] { CentreChanged(); });
  connect(chkAlignmentY, &QCheckBox::toggled, this, [this] { CentreChanged(); });
  connect(btnAddText, &QPushButton::clicked, this, [this] { btnAddTextClick(); });
  connect(btnCancel, &QPushButton::clicked, this, &QWidget::hide);
  // Any field the box depends on redraws it.
  for (QLineEdit* e : {Text1, txtHeight, txtBoundBoxX, txtBoundBoxY, txtRad, txtFont})
    connect(e, &QLineEdit::textChanged, this, [this] { UpdatePreview(); });
  for (QRadioButton* r : {optLinear, optLeft, optCent, optRight})
    connect(r, &QRadioButton::toggled, this, [this] { UpdatePreview(); });
  connect(cboHershey, &QComboBox::activated, this, [this](int index) {
    if (index > 0) UseFace(cboHershey->itemText(index), false, false);
    cboHershey->setCurrentIndex(0);
  });
  LayoutChanged();
}

void TfrmText1::FormShow() {
  txtFont->setText(QString::fromStdString(doc_.Options.Program.Font));
  ApplyTextOptions(doc_);
  doc_.Cancel.Reset();
  SetPreview(std::nullopt);
  show();
  raise();
  ModeChanged();
  UpdatePreview();
}

bool TfrmText1::ReadParams(TextAddParams& p) const {
  p.Text = Text1->text().toStdString();
  p.Layout = optArc->isChecked() ? TextLayout::Arc : TextLayout::Linear;
  p.Align = optCent->isChecked() ? TextAlign::Cent : optRight->isChecked() ? TextAlign::Right : TextAlign::Left;
  const std::optional<double> x = FieldValue(txtBoundBoxX), y = FieldValue(txtBoundBoxY),
                              h = FieldValue(txtHeight), r = FieldValue(txtRad);
  if (p.Text.empty() || !x || !y || !h || (p.Layout == TextLayout::Arc && !r)) return false;
  p.X = *x;
  p.Y = *y;
  p.Height = *h;
  p.Radius = r.value_or(0.0);
  p.AngleDegrees = FieldValue(txtAng).value_or(0.0);
  return true;
}

void TfrmText1::UpdatePreview() {
  if (!isVisible()) return;
  TextAddParams p;
  if (!ReadParams(p) || !(p.Height > 0.0)) {
    SetPreview(std::nullopt);
    return;
  }
  UseFieldFace();
  SetPreview(TextPreviewRect(TextPreviewBox(doc_, p), p));
}

void TfrmText1::SetPreview(std::optional<Box> box) {
  if (!box && !preview_) return;
  preview_ = box;
  emit previewChanged(box.has_value(), box.value_or(Box{}));
}

void TfrmText1::ModeChanged() {
  const bool byPoint = optAlignmentPoint->isChecked();
  doc_.PickMode = Pick{byPoint ? kPickTextByPoint : kPickTextEnterBelow};
  txtBoundBoxX->setEnabled(!byPoint && !chkAlignmentX->isChecked());
  txtBoundBoxY->setEnabled(!byPoint && !chkAlignmentY->isChecked());
  const bool selected = !byPoint && AnyRegionSelected(doc_.Regions);
  chkAlignmentX->setEnabled(selected);
  chkAlignmentY->setEnabled(selected);
}

void TfrmText1::LayoutChanged() {
  const bool arc = optArc->isChecked();
  txtAng->setEnabled(arc);
  txtRad->setEnabled(arc);
  lblX->setText(arc ? "Center X" : "Origin X");
  lblY->setText(arc ? "Center Y" : "Origin Y");
}

// Centres the preview box on the box of the selected Regions.
void TfrmText1::CentreChanged() {
  const std::optional<Box> box = SelectionBox(doc_.Regions);
  TextAddParams p;
  p.Text = Text1->text().toStdString();
  p.Height = FieldValue(txtHeight).value_or(0.0);
  p.Radius = FieldValue(txtRad).value_or(0.0);
  p.Layout = optArc->isChecked() ? TextLayout::Arc : TextLayout::Linear;
  const TextBox preview = TextPreviewBox(doc_, p);
  if (chkAlignmentX->isChecked() && box)
    txtBoundBoxX->setText(QString::fromStdString(FormatNumber("%.4f", (box->MinX + box->MaxX) / 2 - preview.Width / 2)));
  if (chkAlignmentY->isChecked() && box)
    txtBoundBoxY->setText(QString::fromStdString(FormatNumber("%.4f", (box->MinY + box->MaxY) / 2 - preview.Height / 2)));
  ModeChanged();
}

void TfrmText1::PointerAt(Point2 p) {
  if (!optAlignmentPoint->isChecked()) return;
  txtBoundBoxX->setText(QString::fromStdString(FormatNumber("%5.4f", p.X)));
  txtBoundBoxY->setText(QString::fromStdString(FormatNumber("%5.4f", p.Y)));
}

// The face typed in the font field, when there is one, is the converter's.
void TfrmText1::UseFieldFace() {
  TextFont font = doc_.Ttf.Font();
  const std::string face = txtFont->text().trimmed().toStdString();
  if (face.empty() || face == font.Name) return;
  font.Name = face;
  doc_.Ttf.SetFont(font);
}

void TfrmText1::btnAddTextClick() {
  UseFieldFace();
  TextAddParams p;
  // Text, origin and height must be filled in (and the radius for an arc);
  // an empty text goes on to its message.
  if (!ReadParams(p) && !p.Text.empty()) return;
  if (AddText(doc_, p).Result == TextAddResult::Added) emit textAdded();
}

void TfrmText1::txtFontDblClick() {
  bool ok = false;
  TextFont f = doc_.Ttf.Font();
  QFont initial(QString::fromStdString(f.Name));
  initial.setBold(f.Bold);
  initial.setItalic(f.Italic);
  const QFont chosen = QFontDialog::getFont(&ok, initial, this, "Font", QFontDialog::ScalableFonts);
  if (!ok) return;
  UseFace(chosen.family(), chosen.bold(), chosen.italic());
}

void TfrmText1::UseFace(const QString& face, bool bold, bool italic) {
  txtFont->setText(face);
  doc_.Options.Program.Font = face.toStdString();
  doc_.Options.Program.FontBold = bold;
  doc_.Options.Program.FontItalic = italic;
  ApplyTextOptions(doc_);
}

bool TfrmText1::eventFilter(QObject* watched, QEvent* event) {
  if (watched == txtFont && event->type() == QEvent::MouseButtonDblClick) {
    txtFontDblClick();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void TfrmText1::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    hide();
    return;
  }
  QWidget::keyPressEvent(event);
}

void TfrmText1::hideEvent(QHideEvent* event) {
  doc_.PickMode = kPickNone;
  Text1->clear();
  SetPreview(std::nullopt);
  QWidget::hideEvent(event);
}

}  // namespace tarnak::gui
