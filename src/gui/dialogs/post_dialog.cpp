#include "dialogs/post_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>

#include "base/numbers.h"
#include "dialogs/dialog_services.h"

namespace tarnak::gui {

namespace {

QString Q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string S(const QString& text) { return text.toStdString(); }

constexpr int kExtensionLength = 3;
constexpr int kCommentLength = 1;
constexpr int kMaxLineNumber = 999999999;

QStringList TokenItems() {
  return {QStringLiteral("Xt (X軸)"),        QStringLiteral("Yt (Y軸)"),
          QStringLiteral("Zt (Z軸)"),        QStringLiteral("It (中心のX座標)"),
          QStringLiteral("Jt (中心のY座標)"), QStringLiteral("Rt (半径)"),
          QStringLiteral("Nt (行番号)"),      QStringLiteral("Ft (送り速度)"),
          QStringLiteral("St (スピード)"),    QStringLiteral("Tt (ツール)"),
          QStringLiteral("Ct (Clearence)"),  QStringLiteral("Misc1t"),
          QStringLiteral("Misc2t"),          QStringLiteral("Misc3t"),
          QStringLiteral("Misc4t"),          QStringLiteral("Misc5t")};
}

QComboBox* NewChoice(QWidget* parent, const char* name, const QStringList& items) {
  auto* combo = new QComboBox(parent);
  combo->setObjectName(name);
  combo->addItems(items);
  combo->setCurrentIndex(-1);
  return combo;
}

QLineEdit* NewField(QWidget* parent, const char* name) {
  auto* field = new QLineEdit(parent);
  field->setObjectName(name);
  return field;
}

QPushButton* NewButton(QWidget* parent, const char* name, const QString& caption) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  button->setAutoDefault(false);
  return button;
}

void AddRow(QGridLayout* grid, const QString& label, QWidget* field) {
  const int row = grid->rowCount();
  grid->addWidget(new FocusLabel(label, field, grid->parentWidget()), row, 0);
  grid->addWidget(field, row, 1);
}

// The field takes at most `limit` typed characters, but shows a longer
// stored value whole, so that saving does not cut what a hand-edited
// section holds.
void SetLimitedText(QLineEdit* field, const std::string& text, int limit) {
  const QString value = Q(text);
  field->setMaxLength(std::max(limit, static_cast<int>(value.size())));
  field->setText(value);
}

QWidget* NewPage(QTabWidget* tabs, const char* name, const QString& title) {
  auto* page = new QWidget(tabs);
  page->setObjectName(name);
  tabs->addTab(page, title);
  return page;
}

}  // namespace

TfrmPost::TfrmPost(Document& doc, std::filesystem::path settingsFolder, QWidget* parent)
    : QDialog(parent), doc_(doc), settingsFolder_(std::move(settingsFolder)) {
  setObjectName("TfrmPost");
  setWindowTitle(QStringLiteral("ポストプロセッサーの設定"));
  setModal(true);

  auto* layout = new QVBoxLayout(this);
  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName("PageControl1");
  layout->addWidget(PageControl1);

  // ---- general ----
  {
    QWidget* page = NewPage(PageControl1, "tabGeneral", QStringLiteral("基本設定"));
    auto* pageLayout = new QVBoxLayout(page);
    auto* holder = new QWidget(page);
    auto* grid = new QGridLayout(holder);
    cmbName = new QComboBox(holder);
    cmbName->setObjectName("cmbName");
    cmbName->setEditable(true);
    cmbName->setInsertPolicy(QComboBox::NoInsert);
    cmbName->setEditText(QStringLiteral("Default"));
    AddRow(grid, QStringLiteral("名前"), cmbName);
    txtExtension = NewField(holder, "txtExtension");
    txtExtension->setMaxLength(kExtensionLength);
    AddRow(grid, QStringLiteral("拡張子"), txtExtension);
    txtComment = NewField(holder, "txtComment");
    txtComment->setMaxLength(kCommentLength);
    AddRow(grid, QStringLiteral("コメント開始"), txtComment);
    txtEndComment = NewField(holder, "txtEndComment");
    txtEndComment->setMaxLength(kCommentLength);
    AddRow(grid, QStringLiteral("コメント終了"), txtEndComment);
    txtMaxBlock = new QSpinBox(holder);
    txtMaxBlock->setObjectName("txtMaxBlock");
    txtMaxBlock->setRange(0, kMaxLineNumber);
    AddRow(grid, QStringLiteral("最大行番号"), txtMaxBlock);
    pageLayout->addWidget(holder);
    chkIncludeComment = new QCheckBox(QStringLiteral("コメントを入れる"), page);
    chkIncludeComment->setObjectName("chkIncludeComment");
    pageLayout->addWidget(chkIncludeComment);
    rgDecimal = new RadioGroup(QStringLiteral("rgDecimal"), QStringLiteral("小数点"),
                               {QStringLiteral("Point"), QStringLiteral("Comma")}, page);
    pageLayout->addWidget(rgDecimal);
    rgDecimal->hide();
    pageLayout->addStretch();
  }

  // ---- tokens ----
  {
    QWidget* page = NewPage(PageControl1, "tabTokens", QStringLiteral("トークン"));
    auto* pageLayout = new QVBoxLayout(page);
    auto* holder = new QWidget(page);
    auto* grid = new QGridLayout(holder);
    cmbToken = NewChoice(holder, "cmbToken", TokenItems());
    AddRow(grid, QStringLiteral("トークン"), cmbToken);
    QStringList variables;
    for (int v = 0; v < kVariableCount; ++v) variables << Q(VariableName(v));
    cmbVariable = NewChoice(holder, "cmbVariable", variables);
    AddRow(grid, QStringLiteral("変数"), cmbVariable);
    txtAddress = NewField(holder, "txtAddress");
    AddRow(grid, QStringLiteral("アドレス"), txtAddress);
    txtPlaces = NewField(holder, "txtPlaces");
    txtPlaces->setText(Q(kDefaultTokenPlaces));
    AddRow(grid, QStringLiteral("小数点以下の桁数"), txtPlaces);
    pageLayout->addWidget(holder);
    chkPlus = new QCheckBox(QStringLiteral("'+'を使う"), page);
    chkPlus->setObjectName("chkPlus");
    pageLayout->addWidget(chkPlus);
    auto* buttons = new QHBoxLayout;
    cmdCreate = NewButton(page, "cmdCreate", QStringLiteral("作成"));
    cmdClearToken = NewButton(page, "cmdClearToken", QStringLiteral("クリア"));
    buttons->addWidget(cmdCreate);
    buttons->addWidget(cmdClearToken);
    buttons->addStretch();
    pageLayout->addLayout(buttons);
    lblTokenExample = new QLabel(page);
    lblTokenExample->setObjectName("lblTokenExample");
    lblTokenExample->setTextFormat(Qt::PlainText);
    pageLayout->addWidget(lblTokenExample);
    pageLayout->addStretch();

    connect(cmbToken, &QComboBox::activated, this, &TfrmPost::cmbTokenChange);
    connect(cmdCreate, &QPushButton::clicked, this, [this] { cmdCreateClick(); });
    connect(cmdClearToken, &QPushButton::clicked, this, [this] { cmdClearTokenClick(); });
  }

  // ---- move scripts ----
  {
    QWidget* page = NewPage(PageControl1, "tabScripts", QStringLiteral("移動スクリプト"));
    auto* pageLayout = new QVBoxLayout(page);
    auto* choices = new QHBoxLayout;
    rgScript = new RadioGroup(QStringLiteral("rgScript"), QStringLiteral("スクリプト"),
                              {QStringLiteral("Linear"), QStringLiteral("Rapid"),
                               QStringLiteral("CW Arc"), QStringLiteral("CCW Arc"),
                               QStringLiteral("Drill")},
                              page);
    rgMove = new RadioGroup(QStringLiteral("rgMove"), QStringLiteral("移動"),
                            {QStringLiteral("Single Move"), QStringLiteral("Continuous")}, page);
    choices->addWidget(rgScript);
    choices->addWidget(rgMove);
    pageLayout->addLayout(choices);
    auto* holder = new QWidget(page);
    auto* grid = new QGridLayout(holder);
    txtCommand = NewField(holder, "txtCommand");
    AddRow(grid, QStringLiteral("コマンド"), txtCommand);
    cmbScriptToken = NewChoice(holder, "cmbScriptToken", TokenItems());
    AddRow(grid, QStringLiteral("トークン"), cmbScriptToken);
    pageLayout->addWidget(holder);
    auto* buttons = new QGridLayout;
    cmdClearScript = NewButton(page, "cmdClearScript", QStringLiteral("クリア"));
    cmdAddCommand = NewButton(page, "cmdAddCommand", QStringLiteral("コマンド追加"));
    cmdAddToken = NewButton(page, "cmdAddToken", QStringLiteral("トークンの追加"));
    cmdAddModal = NewButton(page, "cmdAddModal", QStringLiteral("モーダルトークンの追加"));
    buttons->addWidget(cmdAddCommand, 0, 0);
    buttons->addWidget(cmdAddToken, 0, 1);
    buttons->addWidget(cmdAddModal, 1, 1);
    buttons->addWidget(cmdClearScript, 1, 0);
    pageLayout->addLayout(buttons);
    lblScriptExample = new QLabel(page);
    lblScriptExample->setObjectName("lblScriptExample");
    lblScriptExample->setTextFormat(Qt::PlainText);
    lblScriptExample->setWordWrap(true);
    pageLayout->addWidget(lblScriptExample);
    pageLayout->addStretch();

    connect(rgScript, &RadioGroup::itemChosen, this, [this] { rgScriptClick(); });
    connect(rgMove, &RadioGroup::itemChosen, this, [this] { rgScriptClick(); });
    // Only what the user types: showing a slot's Command must not set it.
    connect(txtCommand, &QLineEdit::textEdited, this, &TfrmPost::txtCommandChange);
    connect(cmdAddToken, &QPushButton::clicked, this, [this] { cmdAddTokenClick(false); });
    connect(cmdAddModal, &QPushButton::clicked, this, [this] { cmdAddTokenClick(true); });
    connect(cmdAddCommand, &QPushButton::clicked, this, [this] { cmdAddCommandClick(); });
    connect(cmdClearScript, &QPushButton::clicked, this, [this] { cmdClearScriptClick(); });
  }

  // ---- header and footer ----
  {
    QWidget* page = NewPage(PageControl1, "tabHeaderFooter", QStringLiteral("ヘッダ / フッタ"));
    auto* pageLayout = new QHBoxLayout(page);
    const struct {
      QPlainTextEdit** Memo;
      const char* Name;
      QString Title;
    } memos[] = {{&memHeader, "memHeader", QStringLiteral("ヘッダ")},
                 {&memFooter, "memFooter", QStringLiteral("フッタ")}};
    for (const auto& m : memos) {
      auto* column = new QVBoxLayout;
      auto* memo = new QPlainTextEdit(page);
      memo->setObjectName(m.Name);
      memo->setLineWrapMode(QPlainTextEdit::NoWrap);
      auto* label = new QLabel(m.Title, page);
      label->setBuddy(memo);
      column->addWidget(label);
      column->addWidget(memo);
      pageLayout->addLayout(column);
      *m.Memo = memo;
    }
  }

  cmdDelete = NewButton(this, "cmdDelete", QStringLiteral("削除"));
  cmdSave = NewButton(this, "cmdSave", QStringLiteral("保存"));
  cmdEdit = NewButton(this, "cmdEdit", QStringLiteral("編集"));
  cmdCancel = NewButton(this, "cmdCancel", QStringLiteral("キャンセル"));
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(cmdDelete);
  buttons->addStretch();
  buttons->addWidget(cmdSave);
  buttons->addWidget(cmdEdit);
  buttons->addWidget(cmdCancel);
  layout->addLayout(buttons);
  connect(cmdDelete, &QPushButton::clicked, this, [this] { DeletePost(); });
  connect(cmdSave, &QPushButton::clicked, this, [this] { SavePostFromEditor(); });
  connect(cmdEdit, &QPushButton::clicked, this, [this] { LoadPostIntoEditor(); });
  connect(cmdCancel, &QPushButton::clicked, this, [this] { reject(); });

  rgScript->setItemIndex(0);
  rgMove->setItemIndex(0);
}

std::filesystem::path TfrmPost::PostsFile() const {
  return settingsFolder_ / std::filesystem::path(kPostsFileName);
}

void TfrmPost::OpenPostEditor() {
  PrepareEditor();
  exec();
}

void TfrmPost::PrepareEditor() {
  // Each opening starts like a newly made dialog.
  scriptSlot_ = 0;
  rgScript->setItemIndex(0);
  rgMove->setItemIndex(0);
  rgDecimal->hide();
  fillNameList();
  cmbToken->setCurrentIndex(-1);
  cmbVariable->setCurrentIndex(-1);
  cmbScriptToken->setCurrentIndex(-1);
  txtAddress->clear();
  txtPlaces->setText(Q(kDefaultTokenPlaces));
  chkPlus->setChecked(false);
  lblTokenExample->clear();
  PageControl1->setCurrentIndex(0);
  // The general fields show the post in use, so that saving it under a
  // name keeps what it holds.
  fillFields();
}

void TfrmPost::fillNameList() {
  std::vector<std::string> names;
  try {
    names = ListPostNames(PostsFile());
  } catch (const std::exception& e) {
    ShowError(doc_.ui(), e.what());
  }
  cmbName->clear();
  for (const std::string& name : names) cmbName->addItem(Q(name));
  cmbName->setCurrentIndex(-1);
  cmbName->setEditText(QString());
}

void TfrmPost::fillFields() {
  const PostGeneralFields f = GeneralFieldsOf(doc_.PostDefinition);
  SetLimitedText(txtExtension, f.Extension, kExtensionLength);
  SetLimitedText(txtComment, f.Comment, kCommentLength);
  SetLimitedText(txtEndComment, f.EndComment, kCommentLength);
  chkIncludeComment->setChecked(f.IncludeComment);
  txtMaxBlock->setValue(f.MaxBlock);
  rgDecimal->setItemIndex(f.DecimalPoint ? 0 : 1);
  memHeader->setPlainText(Q(f.Header));
  memFooter->setPlainText(Q(f.Footer));
  txtCommand->setText(Q(ScriptCommandText(currentScript())));
  ScriptExample();
}

PostGeneralFields TfrmPost::generalFields() const {
  PostGeneralFields f;
  f.Extension = S(txtExtension->text());
  f.Comment = S(txtComment->text());
  f.EndComment = S(txtEndComment->text());
  f.IncludeComment = chkIncludeComment->isChecked();
  f.MaxBlock = txtMaxBlock->value();
  f.DecimalPoint = rgDecimal->itemIndex() != 1;
  f.Header = S(memHeader->toPlainText());
  f.Footer = S(memFooter->toPlainText());
  return f;
}

// ---- buttons under the pages ----

void TfrmPost::LoadPostIntoEditor() {
  // A post that is not found leaves the definition as it was; the fields
  // show it either way.
  EditorLoadPost(doc_.ui(), doc_.PostDefinition, S(cmbName->currentText()), PostsFile());
  fillFields();
  // A chosen token shows the loaded one, not the previous post's.
  if (cmbToken->currentIndex() >= 0) cmbTokenChange(cmbToken->currentIndex());
}

void TfrmPost::SavePostFromEditor() {
  EditorSavePost(doc_.ui(), doc_.PostDefinition, generalFields(), S(cmbName->currentText()),
                 PostsFile());
}

void TfrmPost::DeletePost() {
  if (EditorDeletePost(doc_.ui(), S(cmbName->currentText()), PostsFile())) fillNameList();
}

// ---- token page ----

TokenPageFields TfrmPost::tokenPage() const {
  TokenPageFields page;
  page.Address = S(txtAddress->text());
  page.Variable = cmbVariable->currentIndex();
  page.Places = S(txtPlaces->text());
  page.Plus = chkPlus->isChecked();
  return page;
}

void TfrmPost::showTokenPage(const TokenPageFields& page) {
  cmbVariable->setCurrentIndex(page.Variable);
  txtAddress->setText(Q(page.Address));
  txtPlaces->setText(Q(page.Places));
  chkPlus->setChecked(page.Plus);
}

int TfrmPost::chosenToken() {
  const int slot = cmbToken->currentIndex();
  if (slot < 0 || slot >= kTokenCount) {
    ShowMessage(doc_.ui(), "Select A Token First");
    return -1;
  }
  return slot;
}

void TfrmPost::TokenExample() {
  const int slot = cmbToken->currentIndex();
  if (slot < 0 || slot >= kTokenCount) {
    lblTokenExample->clear();
    return;
  }
  lblTokenExample->setText(
      Q(tarnak::TokenExample(doc_.PostDefinition.Tokens[static_cast<std::size_t>(slot)])));
}

void TfrmPost::cmbTokenChange(int slot) {
  if (slot < 0 || slot >= kTokenCount) return;
  showTokenPage(TokenPageOf(doc_.PostDefinition.Tokens[static_cast<std::size_t>(slot)],
                            S(txtPlaces->text())));
  TokenExample();
}

void TfrmPost::cmdCreateClick() {
  const int slot = chosenToken();
  if (slot < 0) return;
  if (txtPlaces->text().trimmed().isEmpty()) txtPlaces->setText(QStringLiteral("0"));
  try {
    CreateToken(doc_.PostDefinition.Tokens[static_cast<std::size_t>(slot)], tokenPage());
  } catch (const ConvertError& e) {
    // The token keeps its Format and Plus; the field stays for mending.
    ShowError(doc_.ui(), e.what());
  }
  TokenExample();
}

void TfrmPost::cmdClearTokenClick() {
  const int slot = chosenToken();
  if (slot < 0) return;
  ClearToken(doc_.PostDefinition.Tokens[static_cast<std::size_t>(slot)]);
  cmbVariable->setCurrentIndex(-1);
  txtAddress->clear();
  txtPlaces->clear();
  chkPlus->setChecked(false);
  TokenExample();
}

// ---- script page ----

TTNScript& TfrmPost::currentScript() {
  return doc_.PostDefinition.Scripts[static_cast<std::size_t>(scriptSlot_)];
}

void TfrmPost::ScriptExample() {
  lblScriptExample->setText(Q(std::string(kScriptExamplePrefix) +
                              tarnak::ScriptExample(doc_.PostDefinition, scriptSlot_)));
}

void TfrmPost::showScript() {
  txtCommand->setText(Q(ScriptCommandText(currentScript())));
  ScriptExample();
}

void TfrmPost::rgScriptClick() {
  const int slot = ScriptSlotOf(rgScript->itemIndex(), rgMove->itemIndex());
  if (slot < 0) return;
  scriptSlot_ = slot;
  showScript();
}

void TfrmPost::txtCommandChange(const QString& text) {
  currentScript().Command = S(text);
  ScriptExample();
}

void TfrmPost::cmdAddTokenClick(bool modal) {
  const int slot = cmbScriptToken->currentIndex();
  if (slot < 0 || slot >= kTokenCount) {
    // Without a token the item would stand for the Command.
    ShowMessage(doc_.ui(), "Select A Token First");
    return;
  }
  AddScriptToken(currentScript(), slot, modal);
  ScriptExample();
}

void TfrmPost::cmdAddCommandClick() {
  if (!AddScriptCommand(currentScript(), S(txtCommand->text()))) {
    ShowMessage(doc_.ui(), "Enter a command above first!");
    return;
  }
  ScriptExample();
}

void TfrmPost::cmdClearScriptClick() {
  currentScript().Items.clear();
  ScriptExample();
}

}  // namespace tarnak::gui
