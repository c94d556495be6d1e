#include "dialogs/prototype_dialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "base/numbers.h"
#include "dialogs/dialog_services.h"
#include "dialogs/strategy_shared.h"
#include "dialogs/dialog_widgets.h"
#include "shell/prototype_command.h"
#include "toolpaths/machining_params.h"
#include "toolpaths/presets.h"

namespace tarnak::gui {

namespace {

constexpr int kFieldMaxLength = 10;

QString Q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
std::string S(const QString& text) { return text.toStdString(); }

// Leaves a field alone when it already shows the text, so the one being
// typed in keeps its cursor.
void Put(QLineEdit* field, const std::string& value) {
  const QString text = Q(value);
  if (field->text() != text) field->setText(text);
}


class Grid {
 public:
  explicit Grid(QGroupBox* box) : box_(box), grid_(new QGridLayout(box)) {}
  QLineEdit* Field(const char* name, const QString& label, bool filtered = true,
                   FieldKeys keys = FieldKeys::Decimal) {
    auto* field = new QLineEdit(box_);
    field->setObjectName(name);
    field->setMaxLength(filtered ? kFieldMaxLength : static_cast<int>(kToolNameMaxLength));
    if (filtered) FilterFieldKeys(field, keys);
    Row(label, field);
    return field;
  }
  QLineEdit* Text(const char* name, const QString& label) {
    auto* field = new QLineEdit(box_);
    field->setObjectName(name);
    field->setMaxLength(static_cast<int>(kToolNameMaxLength));
    Row(label, field);
    return field;
  }
  QComboBox* ToolCombo(const char* name, const QString& label) {
    auto* combo = new QComboBox(box_);
    combo->setObjectName(name);
    for (int i = 0; i < kToolNumbers; ++i) combo->addItem(QString::number(i));
    BlockComboTyping(combo);
    Row(label, combo);
    return combo;
  }
  void Wide(QWidget* w) { grid_->addWidget(w, grid_->rowCount(), 0, 1, 2); }

 private:
  void Row(const QString& label, QWidget* field) {
    const int row = grid_->rowCount();
    grid_->addWidget(new FocusLabel(label, field, box_), row, 0);
    grid_->addWidget(field, row, 1);
  }
  QGroupBox* box_;
  QGridLayout* grid_;
};

}  // namespace

TfrmStl::TfrmStl(Document& doc, std::filesystem::path settingsFolder, QWidget* parent)
    : QDialog(parent),
      doc_(doc),
      presetFile_(std::move(settingsFolder) / std::filesystem::path(kPresetFileName)) {
  setObjectName("TfrmStl");
  setWindowTitle(QStringLiteral("3D試作加工"));
  setModal(true);
  build();
  setFields(PrototypeDialogFields{});
  fillPresetList();
  cmbConfig->setEditText(Q(kNoPresetText));
  LoadConfig(Q(kLastPresetName));
}

void TfrmStl::build() {
  auto* rough = new QGroupBox(QStringLiteral("荒加工"), this);
  Grid r(rough);
  Combo1 = r.ToolCombo("Combo1", QStringLiteral("工具番号"));
  txtRoughName = r.Text("txtRoughName", QStringLiteral("工具名"));
  txtRoughDia = r.Field("txtRoughDia", QStringLiteral("工具径"));
  txtRoughX = r.Field("txtRoughX", QStringLiteral("X ステップ"));
  txtRoughY = r.Field("txtRoughY", QStringLiteral("Y ステップ"));
  txtRoughZ = r.Field("txtRoughZ", QStringLiteral("Z ステップ"));
  txtStock = r.Field("txtStock", QStringLiteral("仕上げ代"));
  txtRoughRPM = r.Field("txtRoughRPM", QStringLiteral("回転数"), true, FieldKeys::Integer);
  txtRoughFeed = r.Field("txtRoughFeed", QStringLiteral("送り速度"));
  txtRoughPlunge = r.Field("txtRoughPlunge", QStringLiteral("突込み速度"));
  rgRoughToolType = new RadioGroup("rgRoughToolType", QStringLiteral("工具形状"),
                                   {"End", "Ball ", "V"}, rough);
  r.Wide(rgRoughToolType);
  txtRoughAngle = r.Field("txtRoughAngle", QStringLiteral("角度"));

  auto* finish = new QGroupBox(QStringLiteral("仕上げ加工"), this);
  Grid f(finish);
  Combo3 = f.ToolCombo("Combo3", QStringLiteral("工具番号"));
  txtFinishName = f.Text("txtFinishName", QStringLiteral("工具名"));
  txtFinishDia = f.Field("txtFinishDia", QStringLiteral("工具径"));
  txtFinishX = f.Field("txtFinishX", QStringLiteral("X ステップ"));
  txtFinishY = f.Field("txtFinishY", QStringLiteral("Y ステップ"));
  txtFinishZ = f.Field("txtFinishZ", QStringLiteral("Z ステップ"));
  txtFinishRPM = f.Field("txtFinishRPM", QStringLiteral("回転数"), true, FieldKeys::Integer);
  txtFinishFeed = f.Field("txtFinishFeed", QStringLiteral("送り速度"));
  rgFinishToolType = new RadioGroup("rgFinishToolType", QStringLiteral("工具形状"),
                                    {"End", "Ball ", "V"}, finish);
  f.Wide(rgFinishToolType);
  txtFinishAngle = f.Field("txtFinishAngle", QStringLiteral("角度"));

  auto* common = new QGroupBox(QStringLiteral("共通"), this);
  Grid c(common);
  txtRapidHeight = c.Field("txtRapidHeight", QStringLiteral("早送り高さ"));
  txtStartAt = c.Field("txtStartAt", QStringLiteral("開始番号"), true, FieldKeys::Integer);
  txtIncrement = c.Field("txtIncrement", QStringLiteral("増分"), true, FieldKeys::Integer);
  cmbCoolant = new QComboBox(common);
  cmbCoolant->setObjectName("cmbCoolant");
  cmbCoolant->addItems({"Off", "On"});
  c.Wide(cmbCoolant);
  rgRoughDir = new RadioGroup("rgRoughDir", "Roughing Direction", {"X", "Y"}, common);
  rgFinishDir = new RadioGroup("rgFinishDir", "Finishing Direction",
                               {"X", "Y", Q(kFinishDirNoneText)}, common);
  c.Wide(rgRoughDir);
  c.Wide(rgFinishDir);

  // The stock box takes negative numbers (the model lies below the top),
  // so its fields are not key-filtered.
  auto* stock = new QGroupBox(QStringLiteral("材料"), this);
  Grid s(stock);
  txtX12 = s.Field("txtX12", "X1", false);
  txtY12 = s.Field("txtY12", "Y1", false);
  txtZ12 = s.Field("txtZ12", "Z1", false);
  txtX22 = s.Field("txtX22", "X2", false);
  txtY22 = s.Field("txtY22", "Y2", false);
  txtZ22 = s.Field("txtZ22", "Z2", false);
  txtMargin = s.Field("txtMargin", "X and Y Margin", false);
  rbMale2 = new QRadioButton("Male", stock);
  rbMale2->setObjectName("rbMale2");
  rbFemale2 = new QRadioButton("Female", stock);
  rbFemale2->setObjectName("rbFemale2");
  rbMale2->setChecked(true);
  s.Wide(rbMale2);
  s.Wide(rbFemale2);

  auto* presets = new QGroupBox(QStringLiteral("設定"), this);
  auto* config = new QHBoxLayout(presets);
  cmbConfig = new QComboBox(presets);
  cmbConfig->setObjectName("cmbConfig");
  cmbConfig->setEditable(true);
  cmbConfig->setInsertPolicy(QComboBox::NoInsert);
  cmdLoadConfig = new QPushButton(QStringLiteral("読込"), presets);
  cmdLoadConfig->setObjectName("cmdLoadConfig");
  cmdSaveConfig = new QPushButton(QStringLiteral("保存"), presets);
  cmdSaveConfig->setObjectName("cmdSaveConfig");
  cmdDeleteConfig = new QPushButton(QStringLiteral("削除"), presets);
  cmdDeleteConfig->setObjectName("cmdDeleteConfig");
  config->addWidget(cmbConfig, 1);
  config->addWidget(cmdLoadConfig);
  config->addWidget(cmdSaveConfig);
  config->addWidget(cmdDeleteConfig);

  btnMachine2 = new QPushButton("OK", this);
  btnMachine2->setObjectName("btnMachine2");
  btnMachine2->setDefault(true);
  btnCancel2 = new QPushButton(QStringLiteral("キャンセル"), this);
  btnCancel2->setObjectName("btnCancel2");
  for (QPushButton* b : {cmdLoadConfig, cmdSaveConfig, cmdDeleteConfig, btnCancel2})
    b->setAutoDefault(false);

  auto* columns = new QHBoxLayout;
  columns->addWidget(rough);
  columns->addWidget(finish);
  auto* side = new QVBoxLayout;
  side->addWidget(common);
  side->addWidget(stock);
  columns->addLayout(side);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnMachine2);
  buttons->addWidget(btnCancel2);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(columns);
  layout->addWidget(presets);
  layout->addLayout(buttons);

  const double* overlap = &doc_.Options.Program.StlOverlap;
  connect(txtRoughDia, &QLineEdit::textEdited, this, [this, overlap] {
    applyRule([overlap](PrototypeDialogFields& x) { RoughDiameterChanged(x, *overlap); });
  });
  connect(txtFinishDia, &QLineEdit::textEdited, this, [this, overlap] {
    applyRule([overlap](PrototypeDialogFields& x) { FinishDiameterChanged(x, *overlap); });
  });
  connect(rgRoughToolType, &RadioGroup::itemChosen, this, [this](int type) {
    applyRule([type](PrototypeDialogFields& x) { SetRoughToolType(x, type); });
  });
  connect(rgFinishToolType, &RadioGroup::itemChosen, this, [this](int type) {
    applyRule([type](PrototypeDialogFields& x) { SetFinishToolType(x, type); });
  });
  connect(rgFinishDir, &RadioGroup::itemChosen, this, [this] { updateEnabling(); });
  connect(txtMargin, &QLineEdit::textEdited, this, [this] {
    applyRule([this](PrototypeDialogFields& x) { ApplyMargin(doc_.DrawingExtents, x); });
  });
  connect(btnMachine2, &QPushButton::clicked, this, [this] { btnMachine2Click(); });
  connect(btnCancel2, &QPushButton::clicked, this, [this] { reject(); });
  connect(cmdLoadConfig, &QPushButton::clicked, this, [this] { LoadConfig(cmbConfig->currentText()); });
  connect(cmdSaveConfig, &QPushButton::clicked, this, [this] { SaveConfig(cmbConfig->currentText()); });
  connect(cmdDeleteConfig, &QPushButton::clicked, this,
          [this] { DeleteConfig(cmbConfig->currentText()); });
}

// ---- fields ---------------------------------------------------------------------

PrototypeDialogFields TfrmStl::fields() const {
  PrototypeDialogFields f = stored_;
  StrategyDialogFields& t = f.Tools;
  t.RapidHeight = S(txtRapidHeight->text());
  t.StartAt = S(txtStartAt->text());
  t.Increment = S(txtIncrement->text());
  t.Coolant = cmbCoolant->currentIndex() == 1;
  t.RoughTool = S(Combo1->currentText());
  t.RoughName = S(txtRoughName->text());
  t.RoughDiameter = S(txtRoughDia->text());
  t.RoughStepXY = S(txtRoughX->text());
  t.RoughStepY = S(txtRoughY->text());
  t.RoughStepZ = S(txtRoughZ->text());
  t.StockToLeave = S(txtStock->text());
  t.RoughRPM = S(txtRoughRPM->text());
  t.RoughFeed = S(txtRoughFeed->text());
  t.RoughPlunge = S(txtRoughPlunge->text());
  t.RoughAngle = S(txtRoughAngle->text());
  t.RoughType = std::max(0, rgRoughToolType->itemIndex());
  t.FinishTool = S(Combo3->currentText());
  t.FinishName = S(txtFinishName->text());
  t.FinishDiameter = S(txtFinishDia->text());
  t.FinishStepXY = S(txtFinishX->text());
  t.FinishStepY = S(txtFinishY->text());
  t.FinishStepZ = S(txtFinishZ->text());
  t.FinishRPM = S(txtFinishRPM->text());
  t.FinishFeed = S(txtFinishFeed->text());
  t.FinishAngle = S(txtFinishAngle->text());
  t.FinishType = std::max(0, rgFinishToolType->itemIndex());
  f.RoughDir = std::max(0, rgRoughDir->itemIndex());
  f.FinishDir = std::max(0, rgFinishDir->itemIndex());
  f.X1 = S(txtX12->text());
  f.Y1 = S(txtY12->text());
  f.Z1 = S(txtZ12->text());
  f.X2 = S(txtX22->text());
  f.Y2 = S(txtY22->text());
  f.Z2 = S(txtZ22->text());
  f.Margin = S(txtMargin->text());
  f.Male = rbMale2->isChecked();
  return f;
}

void TfrmStl::setFields(const PrototypeDialogFields& f) {
  stored_ = f;
  const StrategyDialogFields& t = f.Tools;
  Put(txtRapidHeight, t.RapidHeight);
  Put(txtStartAt, t.StartAt);
  Put(txtIncrement, t.Increment);
  cmbCoolant->setCurrentIndex(t.Coolant ? 1 : 0);
  ShowToolNumber(Combo1, t.RoughTool);
  Put(txtRoughName, t.RoughName);
  Put(txtRoughDia, t.RoughDiameter);
  Put(txtRoughX, t.RoughStepXY);
  Put(txtRoughY, t.RoughStepY);
  Put(txtRoughZ, t.RoughStepZ);
  Put(txtStock, t.StockToLeave);
  Put(txtRoughRPM, t.RoughRPM);
  Put(txtRoughFeed, t.RoughFeed);
  Put(txtRoughPlunge, t.RoughPlunge);
  Put(txtRoughAngle, t.RoughAngle);
  rgRoughToolType->setItemIndex(t.RoughType);
  ShowToolNumber(Combo3, t.FinishTool);
  Put(txtFinishName, t.FinishName);
  Put(txtFinishDia, t.FinishDiameter);
  Put(txtFinishX, t.FinishStepXY);
  Put(txtFinishY, t.FinishStepY);
  Put(txtFinishZ, t.FinishStepZ);
  Put(txtFinishRPM, t.FinishRPM);
  Put(txtFinishFeed, t.FinishFeed);
  Put(txtFinishAngle, t.FinishAngle);
  rgFinishToolType->setItemIndex(t.FinishType);
  rgRoughDir->setItemIndex(f.RoughDir);
  rgFinishDir->setItemIndex(f.FinishDir);
  Put(txtX12, f.X1);
  Put(txtY12, f.Y1);
  Put(txtZ12, f.Z1);
  Put(txtX22, f.X2);
  Put(txtY22, f.Y2);
  Put(txtZ22, f.Z2);
  Put(txtMargin, f.Margin);
  (f.Male ? rbMale2 : rbFemale2)->setChecked(true);
  updateEnabling();
}

template <typename Rule>
void TfrmStl::applyRule(Rule rule) {
  PrototypeDialogFields f = fields();
  rule(f);
  setFields(f);
}

void TfrmStl::updateEnabling() {
  const PrototypeDialogFields f = fields();
  txtRoughAngle->setEnabled(RoughAngleEnabled(f));
  const bool finish = FinishFieldsEnabled(f);
  for (QWidget* w : std::initializer_list<QWidget*>{Combo3, txtFinishName, txtFinishDia, txtFinishX,
                                                    txtFinishY, txtFinishZ, txtFinishRPM,
                                                    txtFinishFeed, rgFinishToolType})
    w->setEnabled(finish);
  txtFinishAngle->setEnabled(finish && FinishAngleEnabled(f));
}

void TfrmStl::SetMargin(const QString& text) {
  PrototypeDialogFields f = fields();
  f.Margin = S(text);
  setFields(f);
}

QLineEdit* TfrmStl::fieldControl(PrototypeField field) const {
  switch (field) {
    case PrototypeField::RapidHeight: return txtRapidHeight;
    case PrototypeField::StartAt: return txtStartAt;
    case PrototypeField::Increment: return txtIncrement;
    case PrototypeField::RoughDiameter: return txtRoughDia;
    case PrototypeField::RoughStepX: return txtRoughX;
    case PrototypeField::RoughStepY: return txtRoughY;
    case PrototypeField::RoughStepZ: return txtRoughZ;
    case PrototypeField::StockToLeave: return txtStock;
    case PrototypeField::RoughRPM: return txtRoughRPM;
    case PrototypeField::RoughFeed: return txtRoughFeed;
    case PrototypeField::RoughPlunge: return txtRoughPlunge;
    case PrototypeField::RoughAngle: return txtRoughAngle;
    case PrototypeField::FinishDiameter: return txtFinishDia;
    case PrototypeField::FinishStepX: return txtFinishX;
    case PrototypeField::FinishStepY: return txtFinishY;
    case PrototypeField::FinishStepZ: return txtFinishZ;
    case PrototypeField::FinishRPM: return txtFinishRPM;
    case PrototypeField::FinishFeed: return txtFinishFeed;
    case PrototypeField::FinishAngle: return txtFinishAngle;
    case PrototypeField::X1: return txtX12;
    case PrototypeField::Y1: return txtY12;
    case PrototypeField::Z1: return txtZ12;
    case PrototypeField::X2: return txtX22;
    case PrototypeField::Y2: return txtY22;
    case PrototypeField::Z2: return txtZ22;
    default: return nullptr;
  }
}

// ---- showing and OK -------------------------------------------------------------

bool TfrmStl::Execute() {
  PrototypeDialogFields f = fields();
  ShowStockBox(doc_.MachiningParams, f);
  setFields(f);
  return exec() == QDialog::Accepted;
}

void TfrmStl::btnMachine2Click() {
  const PrototypeDialogFields f = fields();
  LineNumbering numbering;
  if (const auto problem = FillPrototypeParams(f, doc_.MachiningParams, numbering)) {
    ShowError(doc_.ui(), problem->Message);
    if (QLineEdit* field = fieldControl(problem->Field)) {
      field->setFocus();
      field->selectAll();
    }
    return;
  }
  doc_.PostDefinition.Start = numbering.Start;
  doc_.PostDefinition.Increment = numbering.Increment;
  try {
    SavePrototypePreset(presetFile_, kLastPresetName, f);
  } catch (const std::exception& e) {
    // The parameters are filled; only the memory of them is lost.
    ShowError(doc_.ui(), e.what());
  }
  doc_.PickMode = kPickModePrototype;
  accept();
}

void TfrmStl::reject() {
  doc_.PickMode = kPickNone;
  QDialog::reject();
}

// ---- presets --------------------------------------------------------------------

void TfrmStl::fillPresetList() { FillPresetCombo(cmbConfig, presetFile_, doc_.ui()); }

void TfrmStl::LoadConfig(const QString& name) {
  const std::string preset = S(name.trimmed());
  if (IsNoPresetName(preset)) return;
  PrototypeDialogFields f = fields();
  try {
    if (LoadPrototypePreset(presetFile_, preset, f) == PresetLoad::Skipped) return;
  } catch (const std::exception& e) {
    ShowError(doc_.ui(), e.what());
    return;
  }
  setFields(f);
}

void TfrmStl::SaveConfig(const QString& name) {
  const std::string preset = S(name.trimmed());
  if (IsNoPresetName(preset)) return;
  try {
    if (!SavePrototypePreset(presetFile_, preset, fields())) return;
  } catch (const std::exception& e) {
    ShowError(doc_.ui(), e.what());
    return;
  }
  ShowMessage(doc_.ui(), PresetSavedMessage(preset));
  fillPresetList();
}

void TfrmStl::DeleteConfig(const QString& name) {
  DeletePresetInCombo(cmbConfig, presetFile_, doc_.ui(), name);
}

}  // namespace tarnak::gui
