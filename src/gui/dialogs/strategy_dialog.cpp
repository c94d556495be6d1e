#include "dialogs/strategy_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>

#include "dialogs/dialog_services.h"
#include "dialogs/strategy_shared.h"
#include "base/numbers.h"

namespace tarnak::gui {

namespace {

// Number fields are short: ten characters are plenty for any depth, feed
// or line number.
constexpr int kFieldMaxLength = 10;

QString Q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string S(const QString& text) { return text.toStdString(); }

void Take(const QLineEdit* field, std::string& value) {
  if (field) value = S(field->text());
}

void Put(QLineEdit* field, const std::string& value) {
  if (field) field->setText(Q(value));
}


int Clamped(int value, int last) { return std::clamp(value, 0, last); }

const char* ActionButtonName(StrategyDialog kind) {
  switch (kind) {
    case StrategyDialog::Pocket: return "cmdPocket";
    case StrategyDialog::Contour: return "cmdContour";
    case StrategyDialog::Drill: return "cmdDrill";
    default: return "cmdRoute";
  }
}

QString ActionCaption(StrategyDialog kind) {
  switch (kind) {
    case StrategyDialog::Pocket: return QStringLiteral("ポケット");
    case StrategyDialog::Contour: return QStringLiteral("輪郭加工");
    case StrategyDialog::Drill: return QStringLiteral("ドリル");
    default: return QStringLiteral("ルート");
  }
}

QString WindowCaption(StrategyDialog kind) {
  switch (kind) {
    case StrategyDialog::Pocket: return QStringLiteral("ポケット加工");
    case StrategyDialog::Contour: return QStringLiteral("輪郭加工");
    case StrategyDialog::Drill: return QStringLiteral("ドリル加工");
    default: return QStringLiteral("基板加工");
  }
}

const char* DialogObjectName(StrategyDialog kind) {
  switch (kind) {
    case StrategyDialog::Pocket: return "TfrmPocket";
    case StrategyDialog::Contour: return "TfrmContour";
    case StrategyDialog::Drill: return "TfrmDrill";
    default: return "TfrmPCB";
  }
}

}  // namespace

StrategyDialogBase::StrategyDialogBase(StrategyDialog kind, Document& doc,
                                       std::filesystem::path settingsFolder, QWidget* parent)
    : QDialog(parent),
      kind_(kind),
      doc_(doc),
      presetFile_(std::move(settingsFolder) / std::filesystem::path(kPresetFileName)) {
  setObjectName(DialogObjectName(kind));
  setWindowTitle(WindowCaption(kind));
  setModal(true);
  build();
  setFields(StrategyDialogFields{});
  fillPresetList();
  cmbConfig->setEditText(Q(kNoPresetText));
  LoadConfig(Q(kLastPresetName));
}

// ---- layout ---------------------------------------------------------------------

QLineEdit* StrategyDialogBase::addField(QGridLayout* grid, const char* name, const QString& label,
                                        FieldKeys keys) {
  QLineEdit* field = addTextField(grid, name, label);
  field->setMaxLength(kFieldMaxLength);
  FilterFieldKeys(field, keys);
  return field;
}

QLineEdit* StrategyDialogBase::addTextField(QGridLayout* grid, const char* name,
                                            const QString& label) {
  auto* field = new QLineEdit(grid->parentWidget());
  field->setObjectName(name);
  field->setMaxLength(static_cast<int>(kToolNameMaxLength));
  auto* caption = new FocusLabel(label, field, grid->parentWidget());
  caption->setObjectName(QStringLiteral("lbl") + QString::fromLatin1(name).mid(3));
  const int row = grid->rowCount();
  grid->addWidget(caption, row, 0);
  grid->addWidget(field, row, 1);
  return field;
}

QComboBox* StrategyDialogBase::addToolCombo(QGridLayout* grid, const char* name,
                                            const QString& label) {
  auto* combo = new QComboBox(grid->parentWidget());
  combo->setObjectName(name);
  for (int i = 0; i < kToolNumbers; ++i) combo->addItem(QString::number(i));
  auto* caption = new QLabel(label, grid->parentWidget());
  caption->setBuddy(combo);
  const int row = grid->rowCount();
  grid->addWidget(caption, row, 0);
  grid->addWidget(combo, row, 1);
  return combo;
}

RadioGroup* StrategyDialogBase::addLeadGroup(const QString& title, const char* prefix, int which,
                                             std::array<QRadioButton*, 4>& buttons) {
  auto* group = new RadioGroup(which == 0 ? QStringLiteral("grpEntry") : QStringLiteral("grpExit"),
                               title,
                               {QStringLiteral("なし"), QStringLiteral("円弧"),
                                QStringLiteral("垂直"), QStringLiteral("接線")},
                               this, QString::fromLatin1(prefix));
  for (int i = 0; i < 4; ++i) buttons[static_cast<std::size_t>(i)] = group->item(i);
  auto* field = new QLineEdit(group);
  field->setObjectName(which == 0 ? "txtLength_0" : "txtLength_1");
  field->setMaxLength(kFieldMaxLength);
  FilterFieldKeys(field, FieldKeys::Decimal);
  auto* label = new FocusLabel(QStringLiteral("長さ"), field, group);
  label->setObjectName(which == 0 ? "lblLength_0" : "lblLength_1");
  auto* row = new QHBoxLayout;
  row->addWidget(label);
  row->addWidget(field);
  static_cast<QVBoxLayout*>(group->layout())->addLayout(row);
  txtLength[static_cast<std::size_t>(which)] = field;
  lblLength[static_cast<std::size_t>(which)] = label;
  connect(group, &RadioGroup::itemChosen, this, [this, which](int kind) { optLeadClick(which, kind); });
  return group;
}

void StrategyDialogBase::build() {
  const bool pocket = kind_ == StrategyDialog::Pocket;
  const bool contour = kind_ == StrategyDialog::Contour;
  const bool drill = kind_ == StrategyDialog::Drill;
  const bool board = kind_ == StrategyDialog::CircuitBoard;
  const bool milling = pocket || contour;

  auto* layout = new QVBoxLayout(this);
  auto* columns = new QHBoxLayout;
  auto* left = new QVBoxLayout;
  columns->addLayout(left);
  layout->addLayout(columns);

  // Depth, heights, coolant and line numbers.
  auto* grpJob = new QGroupBox(QStringLiteral("加工条件"), this);
  grpJob->setObjectName("grpJob");
  auto* job = new QGridLayout(grpJob);
  depthField_ = addField(job, pocket ? "txtPocketDepth" : drill ? "txtDepth" : "txtContourDepth",
                         QStringLiteral("深さ"), FieldKeys::Decimal);
  if (milling) txtStock = addField(job, "txtStock", QStringLiteral("仕上げ代"), FieldKeys::Decimal);
  txtRapidHeight =
      addField(job, "txtRapidHeight", QStringLiteral("早送り高さ"), FieldKeys::Decimal);
  if (!board) {
    cmbCoolant = new QComboBox(grpJob);
    cmbCoolant->setObjectName("cmbCoolant");
    cmbCoolant->addItems({QStringLiteral("Off"), QStringLiteral("On")});
    auto* caption = new QLabel(QStringLiteral("クーラント"), grpJob);
    caption->setBuddy(cmbCoolant);
    const int row = job->rowCount();
    job->addWidget(caption, row, 0);
    job->addWidget(cmbCoolant, row, 1);
  }
  txtStartAt = addField(job, "txtStartAt", QStringLiteral("開始番号"), FieldKeys::Integer);
  txtIncrement = addField(job, "txtIncrement", QStringLiteral("増分"), FieldKeys::Integer);
  left->addWidget(grpJob);

  // The (rough) tool.
  auto* grpRough = new QGroupBox(drill ? QStringLiteral("ドリル") : QStringLiteral("荒加工工具"), this);
  grpRough->setObjectName("grpRough");
  auto* rough = new QGridLayout(grpRough);
  Combo1 = addToolCombo(rough, "Combo1", QStringLiteral("工具番号"));
  txtRoughName = addTextField(rough, "txtRoughName", QStringLiteral("工具名"));
  txtRoughDia = addField(rough, "txtRoughDia", QStringLiteral("工具径"), FieldKeys::Decimal);
  if (pocket) txtRoughXY = addField(rough, "txtRoughXY", QStringLiteral("XYステップ"), FieldKeys::Decimal);
  if (milling) txtRoughZ = addField(rough, "txtRoughZ", QStringLiteral("Zステップ"), FieldKeys::Decimal);
  if (!drill) txtRoughFeed = addField(rough, "txtRoughFeed", QStringLiteral("送り速度"), FieldKeys::Decimal);
  txtRoughPlunge =
      addField(rough, "txtRoughPlunge", QStringLiteral("切込み送り"), FieldKeys::Decimal);
  txtRoughRPM = addField(rough, drill ? "txtRoughRpm" : "txtRoughRPM", QStringLiteral("回転数"),
                         FieldKeys::Integer);
  left->addWidget(grpRough);

  if (board) {
    // Wider isolation: more passes round the copper, each overlapping the
    // one inside it by a share of the tool's width.
    auto* grpPasses = new QGroupBox(QStringLiteral("絶縁パス"), this);
    grpPasses->setObjectName("grpPasses");
    auto* passes = new QGridLayout(grpPasses);
    txtPasses = addField(passes, "txtPasses", QStringLiteral("パス数"), FieldKeys::Integer);
    txtOverlap = addField(passes, "txtOverlap", QStringLiteral("重なり (0-1)"), FieldKeys::Decimal);
    left->addWidget(grpPasses);
  }

  if (drill) {
    // The move style is kept in the presets only; the frame stays hidden.
    fraMoves = new QGroupBox(this);
    fraMoves->setObjectName("fraMoves");
    auto* moves = new QVBoxLayout(fraMoves);
    optCanned = new QRadioButton(QStringLiteral("Use Canned Cycles (G81,G83)"), fraMoves);
    optCanned->setObjectName("optCanned");
    optLin = new QRadioButton(QStringLiteral("Use Linear Moves (G00,G01)"), fraMoves);
    optLin->setObjectName("optLin");
    moves->addWidget(optCanned);
    moves->addWidget(optLin);
    optCanned->setChecked(true);
    left->addWidget(fraMoves);
    fraMoves->hide();
  }

  if (milling) {
    auto* right = new QVBoxLayout;
    columns->addLayout(right);
    SSCheck1 = new QCheckBox(QStringLiteral("仕上げ加工パスを使う"), this);
    SSCheck1->setObjectName("SSCheck1");
    right->addWidget(SSCheck1);

    grpFinish = new QGroupBox(QStringLiteral("仕上げ工具"), this);
    grpFinish->setObjectName("grpFinish");
    auto* finish = new QGridLayout(grpFinish);
    Combo3 = addToolCombo(finish, "Combo3", QStringLiteral("工具番号"));
    txtFinishName = addTextField(finish, "txtFinishName", QStringLiteral("工具名"));
    txtFinishDia = addField(finish, "txtFinishDia", QStringLiteral("工具径"), FieldKeys::Decimal);
    if (pocket)
      txtFinishXY = addField(finish, "txtFinishXY", QStringLiteral("XYステップ"), FieldKeys::Decimal);
    txtFinishZ = addField(finish, "txtFinishZ", QStringLiteral("Zステップ"), FieldKeys::Decimal);
    txtFinishFeed =
        addField(finish, "txtFinishFeed", QStringLiteral("送り速度"), FieldKeys::Decimal);
    txtFinishRPM = addField(finish, "txtFinishRPM", QStringLiteral("回転数"), FieldKeys::Integer);
    right->addWidget(grpFinish);

    if (pocket) {
      optFinish = new RadioGroup(QStringLiteral("optFinish"), QStringLiteral("仕上げ"),
                                 {QStringLiteral("島のみ"), QStringLiteral("島と外形"),
                                  QStringLiteral("島と外形と底面")},
                                 this);
      right->addWidget(optFinish);
    }
    if (contour) {
      grpCompensation = new RadioGroup(QStringLiteral("grpCompensation"), QStringLiteral("補正"),
                                       {QStringLiteral("なし"), QStringLiteral("右"),
                                        QStringLiteral("左"), QStringLiteral("切り抜き")},
                                       this);
      optCompNone = grpCompensation->item(kCompNone);
      optCompRight = grpCompensation->item(kCompRight);
      optCompLeft = grpCompensation->item(kCompLeft);
      optCompCut = grpCompensation->item(kCompCutout);
      optCompNone->setObjectName("optCompNone");
      optCompRight->setObjectName("optCompRight");
      optCompLeft->setObjectName("optCompLeft");
      optCompCut->setObjectName("optCompCut");
      connect(grpCompensation, &RadioGroup::itemChosen, this, [this] { updateEnabling(); });
      right->addWidget(grpCompensation);
    }

    auto* leads = new QHBoxLayout;
    grpEntry = addLeadGroup(QStringLiteral("進入"), "optEntry", 0, optEntry);
    grpExit = addLeadGroup(QStringLiteral("退出"), "optExit", 1, optExit);
    leads->addWidget(grpEntry);
    leads->addWidget(grpExit);
    right->addLayout(leads);
    right->addStretch();

    connect(SSCheck1, &QCheckBox::toggled, this, [this] { updateEnabling(); });
    if (pocket) {
      connect(txtRoughDia, &QLineEdit::textEdited, this, [this] { txtRoughDiaChange(); });
      connect(txtFinishDia, &QLineEdit::textEdited, this, [this] { txtFinishDiaChange(); });
    }
  }
  left->addStretch();

  // Named presets.
  auto* grpConfig = new QGroupBox(QStringLiteral("設定"), this);
  grpConfig->setObjectName("grpConfig");
  auto* config = new QHBoxLayout(grpConfig);
  cmbConfig = new QComboBox(grpConfig);
  cmbConfig->setObjectName("cmbConfig");
  cmbConfig->setEditable(true);
  // A typed name is kept as text for the save button, not added on Enter.
  cmbConfig->setInsertPolicy(QComboBox::NoInsert);
  cmbConfig->setMinimumContentsLength(16);
  cmdLoadConfig = new QPushButton(QStringLiteral("読込"), grpConfig);
  cmdLoadConfig->setObjectName("cmdLoadConfig");
  cmdSaveConfig = new QPushButton(QStringLiteral("保存"), grpConfig);
  cmdSaveConfig->setObjectName("cmdSaveConfig");
  cmdDeleteConfig = new QPushButton(QStringLiteral("削除"), grpConfig);
  cmdDeleteConfig->setObjectName("cmdDeleteConfig");
  config->addWidget(cmbConfig, 1);
  config->addWidget(cmdLoadConfig);
  config->addWidget(cmdSaveConfig);
  config->addWidget(cmdDeleteConfig);
  layout->addWidget(grpConfig);

  // Several operations, each with its own tool, in one NC program.
  chkAddToolpaths = new QCheckBox(QStringLiteral("ツールパスに追加"), this);
  chkAddToolpaths->setObjectName("chkAddToolpaths");
  layout->addWidget(chkAddToolpaths);

  cmdAction = new QPushButton(ActionCaption(kind_), this);
  cmdAction->setObjectName(ActionButtonName(kind_));
  cmdCancel = new QPushButton(QStringLiteral("キャンセル"), this);
  cmdCancel->setObjectName("cmdCancel");
  for (QPushButton* button : {cmdLoadConfig, cmdSaveConfig, cmdDeleteConfig, cmdCancel})
    button->setAutoDefault(false);
  cmdAction->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(cmdAction);
  buttons->addWidget(cmdCancel);
  layout->addLayout(buttons);

  connect(cmdAction, &QPushButton::clicked, this, [this] { cmdActionClick(); });
  connect(cmdCancel, &QPushButton::clicked, this, [this] { reject(); });
  connect(cmdLoadConfig, &QPushButton::clicked, this, [this] { cmdLoadConfigClick(); });
  connect(cmdSaveConfig, &QPushButton::clicked, this, [this] { cmdSaveConfigClick(); });
  connect(cmdDeleteConfig, &QPushButton::clicked, this, [this] { cmdDeleteConfigClick(); });
}

// ---- fields ---------------------------------------------------------------------

StrategyDialogFields StrategyDialogBase::fields() const {
  StrategyDialogFields f = stored_;
  Take(depthField_, f.Depth);
  Take(txtRapidHeight, f.RapidHeight);
  Take(txtStartAt, f.StartAt);
  Take(txtIncrement, f.Increment);
  if (cmbCoolant) f.Coolant = cmbCoolant->currentIndex() == 1;
  if (Combo1) f.RoughTool = S(Combo1->currentText());
  Take(txtRoughName, f.RoughName);
  Take(txtRoughDia, f.RoughDiameter);
  Take(txtRoughXY, f.RoughStepXY);
  Take(txtRoughZ, f.RoughStepZ);
  Take(txtStock, f.StockToLeave);
  Take(txtRoughRPM, f.RoughRPM);
  Take(txtRoughFeed, f.RoughFeed);
  Take(txtRoughPlunge, f.RoughPlunge);
  if (SSCheck1) f.FinishPass = SSCheck1->isChecked();
  if (Combo3) f.FinishTool = S(Combo3->currentText());
  Take(txtFinishName, f.FinishName);
  Take(txtFinishDia, f.FinishDiameter);
  Take(txtFinishXY, f.FinishStepXY);
  Take(txtFinishZ, f.FinishStepZ);
  Take(txtFinishRPM, f.FinishRPM);
  Take(txtFinishFeed, f.FinishFeed);
  if (optFinish && optFinish->itemIndex() >= 0) f.Finish = optFinish->itemIndex();
  if (grpCompensation && grpCompensation->itemIndex() >= 0)
    f.Compensation = grpCompensation->itemIndex();
  if (grpEntry && grpEntry->itemIndex() >= 0) f.Entry = grpEntry->itemIndex();
  if (grpExit && grpExit->itemIndex() >= 0) f.Exit = grpExit->itemIndex();
  Take(txtLength[0], f.EntryLength);
  Take(txtLength[1], f.ExitLength);
  if (optLin) f.Linear = optLin->isChecked();
  Take(txtPasses, f.Passes);
  Take(txtOverlap, f.Overlap);
  return f;
}

void StrategyDialogBase::setFields(const StrategyDialogFields& f) {
  stored_ = f;
  Put(depthField_, f.Depth);
  Put(txtRapidHeight, f.RapidHeight);
  Put(txtStartAt, f.StartAt);
  Put(txtIncrement, f.Increment);
  if (cmbCoolant) cmbCoolant->setCurrentIndex(f.Coolant ? 1 : 0);
  ShowToolNumber(Combo1, f.RoughTool);
  Put(txtRoughName, f.RoughName);
  Put(txtRoughDia, f.RoughDiameter);
  Put(txtRoughXY, f.RoughStepXY);
  Put(txtRoughZ, f.RoughStepZ);
  Put(txtStock, f.StockToLeave);
  Put(txtRoughRPM, f.RoughRPM);
  Put(txtRoughFeed, f.RoughFeed);
  Put(txtRoughPlunge, f.RoughPlunge);
  if (SSCheck1) SSCheck1->setChecked(f.FinishPass);
  ShowToolNumber(Combo3, f.FinishTool);
  Put(txtFinishName, f.FinishName);
  Put(txtFinishDia, f.FinishDiameter);
  Put(txtFinishXY, f.FinishStepXY);
  Put(txtFinishZ, f.FinishStepZ);
  Put(txtFinishRPM, f.FinishRPM);
  Put(txtFinishFeed, f.FinishFeed);
  if (optFinish) optFinish->setItemIndex(Clamped(f.Finish, 2));
  if (grpCompensation) grpCompensation->setItemIndex(Clamped(f.Compensation, kCompCutout));
  if (grpEntry) grpEntry->setItemIndex(Clamped(f.Entry, kLeadTangent));
  if (grpExit) grpExit->setItemIndex(Clamped(f.Exit, kLeadTangent));
  Put(txtLength[0], f.EntryLength);
  Put(txtLength[1], f.ExitLength);
  Put(txtPasses, f.Passes);
  Put(txtOverlap, f.Overlap);
  if (optLin) {
    optLin->setChecked(f.Linear);
    optCanned->setChecked(!f.Linear);
  }
  updateLeadLabels();
  updateEnabling();
}

double StrategyDialogBase::depth() const {
  double value = 0.0;
  return TryParseFieldFloat(S(depthField_->text()), value) ? value : 0.0;
}

ToolpathsMode StrategyDialogBase::toolpathsMode() const {
  return chkAddToolpaths->isChecked() ? ToolpathsMode::Append : ToolpathsMode::Replace;
}

QLineEdit* StrategyDialogBase::fieldControl(ParamField field) const {
  switch (field) {
    case ParamField::None: return nullptr;
    case ParamField::Depth: return depthField_;
    case ParamField::RapidHeight: return txtRapidHeight;
    case ParamField::StartAt: return txtStartAt;
    case ParamField::Increment: return txtIncrement;
    case ParamField::RoughTool: return nullptr;
    case ParamField::RoughDiameter: return txtRoughDia;
    case ParamField::RoughStepXY: return txtRoughXY;
    case ParamField::RoughStepZ: return txtRoughZ;
    case ParamField::StockToLeave: return txtStock;
    case ParamField::RoughRPM: return txtRoughRPM;
    case ParamField::RoughFeed: return txtRoughFeed;
    case ParamField::RoughPlunge: return txtRoughPlunge;
    case ParamField::FinishTool: return nullptr;
    case ParamField::FinishDiameter: return txtFinishDia;
    case ParamField::FinishStepXY: return txtFinishXY;
    case ParamField::FinishStepZ: return txtFinishZ;
    case ParamField::FinishRPM: return txtFinishRPM;
    case ParamField::FinishFeed: return txtFinishFeed;
    case ParamField::EntryLength: return txtLength[0];
    case ParamField::ExitLength: return txtLength[1];
    case ParamField::Passes: return txtPasses;
    case ParamField::Overlap: return txtOverlap;
  }
  return nullptr;
}

void StrategyDialogBase::showProblem(const ParamProblem& problem) {
  ShowError(doc_.ui(), problem.Message);
  if (QLineEdit* field = fieldControl(problem.Field)) {
    field->setFocus(Qt::OtherFocusReason);
    field->selectAll();
  }
}

// ---- behaviour ------------------------------------------------------------------

void StrategyDialogBase::updateLeadLabels() {
  for (std::size_t which = 0; which < 2; ++which) {
    RadioGroup* group = which == 0 ? grpEntry : grpExit;
    if (!group) continue;
    // For an arc lead the length is the arc's radius.
    lblLength[which]->setText(group->itemIndex() == kLeadArc ? QStringLiteral("半径")
                                                             : QStringLiteral("長さ"));
  }
}

void StrategyDialogBase::updateEnabling() {
  if (!SSCheck1) return;
  const bool finishOn = SSCheck1->isChecked();
  grpFinish->setEnabled(finishOn);
  // A cutout has no finish pass of its own: its finish values are locked.
  const bool cutout = optCompCut && optCompCut->isChecked();
  for (QWidget* child : grpFinish->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
    child->setEnabled(!cutout);
  if (optFinish) optFinish->setEnabled(finishOn);
  grpEntry->setEnabled(finishOn);
  grpExit->setEnabled(finishOn);
  for (std::size_t which = 0; which < 2; ++which) {
    RadioGroup* group = which == 0 ? grpEntry : grpExit;
    const bool hasLength = group->itemIndex() != kLeadNone;
    txtLength[which]->setEnabled(hasLength);
    lblLength[which]->setEnabled(hasLength);
  }
}

void StrategyDialogBase::optLeadClick(int which, int kind) {
  if (kind == kLeadNone) txtLength[static_cast<std::size_t>(which)]->setText(QStringLiteral("0"));
  updateLeadLabels();
  updateEnabling();
}

// The pocket's step-over follows the tool: diameter times the overlap of
// the options, as a proposal the user may still change.
void StrategyDialogBase::txtRoughDiaChange() {
  // Half typed ("1.", "") or not a number: no proposal yet.
  double diameter = 0.0;
  if (!TryParseFieldFloat(S(txtRoughDia->text()), diameter)) return;
  txtRoughXY->setText(Q(FormatNumber("%.4F", diameter * doc_.Options.Program.Overlap)));
}

void StrategyDialogBase::txtFinishDiaChange() {
  double diameter = 0.0;
  if (!TryParseFieldFloat(S(txtFinishDia->text()), diameter)) return;
  txtFinishXY->setText(Q(FormatNumber("%.4F", diameter * doc_.Options.Program.Overlap)));
}

void StrategyDialogBase::cmdActionClick() {
  const StrategyDialogFields f = fields();
  if (const auto problem = FillCheckedParams(kind_, f, doc_.MachiningParams, numbering_)) {
    showProblem(*problem);
    return;
  }
  doc_.PostDefinition.Start = numbering_.Start;
  doc_.PostDefinition.Increment = numbering_.Increment;
  try {
    SavePreset(presetFile_, kLastPresetName, kind_, f);
  } catch (const std::exception& e) {
    // The parameters are filled; only the memory of them for the next
    // start is lost, so the command still runs.
    ShowError(doc_.ui(), e.what());
  }
  accept();
}

void StrategyDialogBase::reject() {
  doc_.PickMode = kPickNone;
  QDialog::reject();
}

bool StrategyDialogBase::Execute() { return exec() == QDialog::Accepted; }

// ---- presets --------------------------------------------------------------------

void StrategyDialogBase::fillPresetList() { FillPresetCombo(cmbConfig, presetFile_, doc_.ui()); }

void StrategyDialogBase::LoadConfig(const QString& name) {
  const std::string preset = S(name.trimmed());
  if (IsNoPresetName(preset)) return;
  StrategyDialogFields f = fields();
  try {
    if (LoadPreset(presetFile_, preset, kind_, f) == PresetLoad::Skipped) return;
  } catch (const std::exception& e) {
    ShowError(doc_.ui(), e.what());
    return;
  }
  setFields(f);
}

void StrategyDialogBase::SaveConfig(const QString& name) {
  const std::string preset = S(name.trimmed());
  if (IsNoPresetName(preset)) return;
  const StrategyDialogFields f = fields();
  try {
    // A text that is not a number is shown at its field, and not stored.
    TTNMachiningParameters scratch = doc_.MachiningParams;
    FillMachiningParams(kind_, f, scratch);
  } catch (const FieldNumberError& e) {
    showProblem({e.Field(), e.what()});
    return;
  }
  try {
    if (!SavePreset(presetFile_, preset, kind_, f)) return;
  } catch (const std::exception& e) {
    ShowError(doc_.ui(), e.what());
    return;
  }
  ShowMessage(doc_.ui(), PresetSavedMessage(preset));
  // The list is read back from the file, so it stays sorted and shows a
  // name once even when it was typed in another case.
  fillPresetList();
}

void StrategyDialogBase::DeleteConfig(const QString& name) {
  DeletePresetInCombo(cmbConfig, presetFile_, doc_.ui(), name);
}

void StrategyDialogBase::cmdLoadConfigClick() { LoadConfig(cmbConfig->currentText()); }
void StrategyDialogBase::cmdSaveConfigClick() { SaveConfig(cmbConfig->currentText()); }
void StrategyDialogBase::cmdDeleteConfigClick() { DeleteConfig(cmbConfig->currentText()); }

}  // namespace tarnak::gui
