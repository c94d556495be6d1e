#include "editor/editor_forms.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace tarnak::gui {

namespace {

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption) {
  auto* b = new QPushButton(caption, parent);
  b->setObjectName(name);
  b->setAutoDefault(false);
  return b;
}

// Digits only: the fields are line numbers and steps.
QLineEdit* DigitsField(QWidget* parent, const char* name, const QString& text) {
  auto* f = new QLineEdit(text, parent);
  f->setObjectName(name);
  f->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), f));
  return f;
}

}  // namespace

// ---------------------------------------------------------------- ReNumber

TfrmReNumber::TfrmReNumber(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
  setObjectName("TfrmReNumber");
  setWindowTitle("ReNumber");
  txtStart = DigitsField(this, "txtStart", "100");
  txtIncrement = DigitsField(this, "txtIncrement", "5");
  chkAddSpace = new QCheckBox("Add Space", this);
  chkAddSpace->setObjectName("chkAddSpace");
  chkAddSpace->setChecked(true);
  btnRemove = MakeButton(this, "btnRemove", "Remove");
  btnAdd = MakeButton(this, "btnAdd", "Add");
  btnReNumber = MakeButton(this, "btnReNumber", "ReNumber");

  auto* form = new QFormLayout;
  form->addRow("Start", txtStart);
  form->addRow("Increment", txtIncrement);
  form->addRow(QString(), chkAddSpace);
  auto* buttons = new QHBoxLayout;
  for (QPushButton* b : {btnRemove, btnAdd, btnReNumber}) buttons->addWidget(b);
  auto* all = new QVBoxLayout(this);
  all->addLayout(form);
  all->addLayout(buttons);

  connect(btnRemove, &QPushButton::clicked, this, [this] { emit requested(Action::Remove); });
  connect(btnAdd, &QPushButton::clicked, this, [this] { emit requested(Action::Add); });
  connect(btnReNumber, &QPushButton::clicked, this, [this] { emit requested(Action::Renumber); });
}

RenumberSettings TfrmReNumber::Settings() const {
  RenumberSettings s;
  s.Start = txtStart->text().toStdString();
  s.Increment = txtIncrement->text().toStdString();
  s.AddSpace = chkAddSpace->isChecked();
  return s;
}

// ---------------------------------------------------------------- Run

TfrmEdit::TfrmEdit(QWidget* parent) : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
  setObjectName("TfrmEdit");
  setWindowTitle("Run");
  btnNext = MakeButton(this, "btnNext", "次");
  btnNext10 = MakeButton(this, "btnNext10", "Next 10");
  btnToCursor = MakeButton(this, "btnToCursor", "To Cursor");
  btnFromCursor = MakeButton(this, "btnFromCursor", "From Cursor");
  btnToRapid = MakeButton(this, "btnToRapid", "To Rapid");
  btnToTool = MakeButton(this, "btnToTool", "To Tool");
  btnAll = MakeButton(this, "btnAll", "All");
  btnClear = MakeButton(this, "btnClear", "Clear");
  btnSearch = MakeButton(this, "btnSearch", "検索");
  btnReload = MakeButton(this, "btnReload", "再読込");
  btnSave = MakeButton(this, "btnSave", "保存");
  btnReNumber = MakeButton(this, "btnReNumber", "ReNumber");

  auto* grid = new QGridLayout(this);
  QPushButton* const order[] = {btnNext,  btnNext10, btnToCursor, btnFromCursor,
                                btnToRapid, btnToTool, btnAll,      btnClear,
                                btnSearch, btnReload, btnSave,     btnReNumber};
  int i = 0;
  for (QPushButton* b : order) {
    grid->addWidget(b, i / 2, i % 2);
    ++i;
  }

  const std::pair<QPushButton*, NCRunButton> steps[] = {
      {btnNext, NCRunButton::Next},         {btnNext10, NCRunButton::Next10},
      {btnToCursor, NCRunButton::ToCursor}, {btnFromCursor, NCRunButton::FromCursor},
      {btnToRapid, NCRunButton::ToRapid},   {btnToTool, NCRunButton::ToTool},
      {btnAll, NCRunButton::All},           {btnClear, NCRunButton::Clear},
  };
  for (const auto& [b, button] : steps) {
    const NCRunButton which = button;
    connect(b, &QPushButton::clicked, this, [this, which] { emit step(which); });
  }
  connect(btnSearch, &QPushButton::clicked, this, &TfrmEdit::searchClicked);
  connect(btnReload, &QPushButton::clicked, this, &TfrmEdit::reloadClicked);
  connect(btnSave, &QPushButton::clicked, this, &TfrmEdit::saveClicked);
  connect(btnReNumber, &QPushButton::clicked, this, &TfrmEdit::renumberClicked);
}

// ---------------------------------------------------------------- find and replace

TReplaceDialog::TReplaceDialog(QWidget* parent) : QDialog(parent) {
  setObjectName("ReplaceDialog1");
  setWindowTitle("置換");
  setModal(false);
  txtFind = new QLineEdit(this);
  txtFind->setObjectName("txtFind");
  txtReplace = new QLineEdit(this);
  txtReplace->setObjectName("txtReplace");
  chkMatchCase = new QCheckBox("大文字と小文字を区別する(&C)", this);
  chkMatchCase->setObjectName("chkMatchCase");
  btnFindNext = MakeButton(this, "btnFindNext", "次を検索(&F)");
  btnReplace = MakeButton(this, "btnReplace", "置換して次に(&R)");
  btnReplaceAll = MakeButton(this, "btnReplaceAll", "すべて置換(&A)");
  btnCancel = MakeButton(this, "btnCancel", "キャンセル");

  auto* form = new QFormLayout;
  form->addRow("検索する文字列(&N):", txtFind);
  form->addRow("置換後の文字列(&P):", txtReplace);
  form->addRow(QString(), chkMatchCase);
  auto* buttons = new QVBoxLayout;
  for (QPushButton* b : {btnFindNext, btnReplace, btnReplaceAll, btnCancel}) buttons->addWidget(b);
  buttons->addStretch();
  auto* all = new QHBoxLayout(this);
  all->addLayout(form, 1);
  all->addLayout(buttons);

  connect(btnFindNext, &QPushButton::clicked, this, &TReplaceDialog::findRequested);
  connect(btnReplace, &QPushButton::clicked, this, &TReplaceDialog::replaceRequested);
  connect(btnReplaceAll, &QPushButton::clicked, this, &TReplaceDialog::replaceAllRequested);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::hide);
}

QString TReplaceDialog::FindText() const { return txtFind->text(); }
QString TReplaceDialog::ReplaceText() const { return txtReplace->text(); }
bool TReplaceDialog::MatchCase() const { return chkMatchCase->isChecked(); }

}  // namespace tarnak::gui
