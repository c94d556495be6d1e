// The post-processor editor as a user drives it from the Setup menu: a post
// loaded, a token made and a script built with keys and clicks, their
// examples, saving under a new name and over an existing one (the question
// answered No and Yes), a name that is not there, and deleting.
#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>

#include "dialogs/post_dialog.h"
#include "base/numbers.h"
#include "post/post_definition.h"
#include "window_fixture.h"

using namespace tarnak;
using namespace tarnak::gui;
using namespace tarnak::gui::testing;

namespace {

QByteArray ReadAll(const std::filesystem::path& path) {
  QFile f(QString::fromStdString(path.string()));
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}

void TypeInto(QLineEdit* field, const QString& text) {
  field->setFocus();
  field->selectAll();
  QTest::keyClick(field, Qt::Key_Backspace);
  QTest::keyClicks(field, text);
}

void TypeName(TfrmPost* dlg, const QString& name) { TypeInto(dlg->cmbName->lineEdit(), name); }

void Click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

// An option button reacts to clicks on its mark and caption only.
void ClickOption(QAbstractButton* button) {
  QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(5, button->height() / 2));
}

// Moves a choice down to `index` with the arrow key, as a user picks it.
void ChooseWithKeys(QComboBox* combo, int index) {
  combo->setFocus();
  while (combo->currentIndex() < index) QTest::keyClick(combo, Qt::Key_Down);
  while (combo->currentIndex() > index) QTest::keyClick(combo, Qt::Key_Up);
}

// Runs `drive` once the modal dialog is up, then closes it with its cancel
// button whatever `drive` found, so that a failed check never leaves the
// test waiting on the dialog.
void WhileOpen(TfrmTarnak& w, const std::function<void(TfrmPost*)>& drive) {
  TfrmPost* dlg = w.frmPost;
  bool ran = false;
  QTimer::singleShot(0, dlg, [&] {
    ran = true;
    if (dlg->isVisible()) drive(dlg);
    if (dlg->isVisible()) Click(dlg->cmdCancel);
  });
  w.EditPostProcessor1->trigger();
  QVERIFY(ran);
  QVERIFY(!dlg->isVisible());
}

}  // namespace

class PostEditorTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { SetDecimalSeparator('.'); }

  void editingSavingLoadingAndDeleting() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    QVERIFY(w->EditPostProcessor1->isEnabled());
    const std::filesystem::path posts = w->frmPost->PostsFile();
    const std::vector<std::string> shipped = ListPostNames(posts);
    QVERIFY(shipped.size() >= 6);
    TTNPostProcessor& current = w->doc().PostDefinition;

    WhileOpen(*w, [&](TfrmPost* dlg) {
      QCOMPARE(dlg->windowTitle(), QString("ポストプロセッサーの設定"));
      QCOMPARE(dlg->PageControl1->count(), 4);
      const QStringList pages = {"基本設定", "トークン", "移動スクリプト", "ヘッダ / フッタ"};
      for (int i = 0; i < 4; ++i) QCOMPARE(dlg->PageControl1->tabText(i), pages[i]);
      for (const auto& [button, caption] :
           {std::pair{dlg->cmdDelete, "削除"}, {dlg->cmdSave, "保存"}, {dlg->cmdEdit, "編集"},
            {dlg->cmdCancel, "キャンセル"}, {dlg->cmdCreate, "作成"}, {dlg->cmdClearToken, "クリア"},
            {dlg->cmdAddCommand, "コマンド追加"}, {dlg->cmdAddToken, "トークンの追加"},
            {dlg->cmdAddModal, "モーダルトークンの追加"}}) {
        QCOMPARE(button->text(), QString::fromUtf8(caption));
      }
      QCOMPARE(dlg->cmbName->currentText(), QString());
      QCOMPARE(dlg->cmbName->count(), static_cast<int>(shipped.size()));
      QVERIFY(dlg->rgDecimal->isHidden());
      QCOMPARE(dlg->cmbToken->count(), 16);
      QCOMPARE(dlg->cmbVariable->count(), 19);
      QCOMPARE(dlg->ScriptSlot(), 0);

      // Load a post.
      TypeName(dlg, "Hobby");
      Click(dlg->cmdEdit);
      QVERIFY(f.messages.empty());
      QCOMPARE(QString::fromStdString(current.Name), QString("Hobby"));
      QCOMPARE(dlg->txtExtension->text(), QString::fromStdString(current.Extension));
      QCOMPARE(dlg->txtMaxBlock->value(), current.MaxBlock);
      QCOMPARE(dlg->memFooter->toPlainText().split('\n').size(),
               static_cast<qsizetype>(current.Footer.size()));

      // Token page: Xt with Ex, address X, three places, no plus.
      dlg->PageControl1->setCurrentIndex(1);
      QTest::keyClick(dlg->cmbToken, Qt::Key_Down);  // nothing chosen yet: down is Xt
      QCOMPARE(dlg->cmbToken->currentIndex(), 0);
      QCOMPARE(dlg->txtAddress->text(), QString::fromStdString(current.Tokens[0].Designation));
      ChooseWithKeys(dlg->cmbVariable, TokenVar::Ex);
      TypeInto(dlg->txtAddress, "X");
      TypeInto(dlg->txtPlaces, "3");
      if (dlg->chkPlus->isChecked()) Click(dlg->chkPlus);
      Click(dlg->cmdCreate);
      QCOMPARE(dlg->lblTokenExample->text(), QString("X15.346"));
      QCOMPARE(QString::fromStdString(TokenLine(current.Tokens[0])), QString("4*X*%1.3f*F"));
      // Yt alike with Ey; then places that are no number are refused.
      ChooseWithKeys(dlg->cmbToken, 1);
      ChooseWithKeys(dlg->cmbVariable, TokenVar::Ey);
      TypeInto(dlg->txtAddress, "Y");
      TypeInto(dlg->txtPlaces, "3");
      if (dlg->chkPlus->isChecked()) Click(dlg->chkPlus);
      Click(dlg->cmdCreate);
      QCOMPARE(dlg->lblTokenExample->text(), QString("Y16.346"));
      TypeInto(dlg->txtPlaces, "2.5");
      Click(dlg->chkPlus);
      Click(dlg->cmdCreate);
      QVERIFY(f.SawMessage("Decimal places: '2.5' is not a valid integer value"));
      QCOMPARE(QString::fromStdString(TokenLine(current.Tokens[1])), QString("5*Y*%1.3f*F"));
      f.messages.clear();
      // Back to Xt: the page shows it again.
      ChooseWithKeys(dlg->cmbToken, 0);
      QCOMPARE(dlg->txtPlaces->text(), QString("3"));
      QCOMPARE(dlg->cmbVariable->currentIndex(), TokenVar::Ex);

      // Script page: Linear, Continuous = slot 1.
      dlg->PageControl1->setCurrentIndex(2);
      ClickOption(dlg->rgMove->item(1));
      QCOMPARE(dlg->ScriptSlot(), 1);
      ClickOption(dlg->rgScript->item(4));
      QCOMPARE(dlg->ScriptSlot(), 9);
      ClickOption(dlg->rgScript->item(0));
      QCOMPARE(dlg->ScriptSlot(), 1);
      QCOMPARE(dlg->txtCommand->text(),
               QString::fromStdString(current.Scripts[1].Command == "<null>" ? ""
                                                                             : current.Scripts[1].Command));
      Click(dlg->cmdClearScript);
      QVERIFY(current.Scripts[1].Items.empty());
      QCOMPARE(dlg->lblScriptExample->text(), QString("Ex. "));
      dlg->txtCommand->setFocus();
      dlg->txtCommand->selectAll();
      QTest::keyClick(dlg->txtCommand, Qt::Key_Backspace);
      Click(dlg->cmdAddCommand);
      QVERIFY(f.SawMessage("Enter a command above first!"));
      Click(dlg->cmdAddModal);
      QVERIFY(f.SawMessage("Select A Token First"));
      QVERIFY(current.Scripts[1].Items.empty());
      TypeInto(dlg->txtCommand, "G01");
      QCOMPARE(QString::fromStdString(current.Scripts[1].Command), QString("G01"));
      Click(dlg->cmdAddCommand);
      ChooseWithKeys(dlg->cmbScriptToken, 0);
      Click(dlg->cmdAddModal);
      ChooseWithKeys(dlg->cmbScriptToken, 1);
      Click(dlg->cmdAddModal);
      QCOMPARE(dlg->lblScriptExample->text(), QString("Ex. G01<X15.346><Y16.346>"));

      // Header page, then save under a new name: no question.
      dlg->PageControl1->setCurrentIndex(3);
      dlg->memHeader->setFocus();
      dlg->memHeader->selectAll();
      QTest::keyClick(dlg->memHeader, Qt::Key_Backspace);
      QTest::keyClicks(dlg->memHeader, "%");
      QTest::keyClick(dlg->memHeader, Qt::Key_Return);
      QTest::keyClicks(dlg->memHeader, "G21 G90");
      dlg->PageControl1->setCurrentIndex(0);
      TypeName(dlg, "Mill");
      f.messages.clear();
      Click(dlg->cmdSave);
      QVERIFY(f.SawMessage("Mill Saved!"));
      QCOMPARE(f.messages.size(), size_t{1});
      // The name list shows it only when the dialog is opened again.
      QCOMPARE(dlg->cmbName->findText("Mill"), -1);

      // Over an existing name: No keeps the file, Yes writes it.
      const QByteArray saved = ReadAll(posts);
      TypeInto(dlg->txtExtension, "tap");
      QCOMPARE(dlg->txtExtension->text(), QString("tap"));
      f.messages.clear();
      f.answers = {MsgResult::No};
      Click(dlg->cmdSave);
      QVERIFY(f.SawMessage("Post <Mill> Exists!  Overwrite it?"));
      QVERIFY(f.messages.back().Buttons == MsgButtons::YesNo);
      QCOMPARE(ReadAll(posts), saved);
      f.answers = {MsgResult::Yes};
      Click(dlg->cmdSave);
      QVERIFY(ReadAll(posts) != saved);
      QCOMPARE(f.messages.back().Text, std::string("Mill Saved!"));
      // The general fields went to the file only.
      QVERIFY(current.Extension != "tap");

      // A name that is not there.
      f.messages.clear();
      TypeName(dlg, "Nope");
      Click(dlg->cmdEdit);
      QCOMPARE(f.messages.size(), size_t{1});
      QCOMPARE(f.messages[0].Text, std::string("Post Processor Nope not found!"));
      QCOMPARE(QString::fromStdString(current.Name), QString("Hobby"));
      QCOMPARE(dlg->txtExtension->text(), QString::fromStdString(current.Extension));
    });

    // What the file holds now.
    TTNPostProcessor mill;
    QVERIFY(LoadPostDefinition(mill, "Mill", posts));
    QCOMPARE(QString::fromStdString(mill.Extension), QString("tap"));
    QCOMPARE(QString::fromStdString(TokenLine(mill.Tokens[0])), QString("4*X*%1.3f*F"));
    QVERIFY(mill.Scripts[1] == current.Scripts[1]);
    QCOMPARE(mill.Header, (std::vector<std::string>{"%", "G21 G90"}));
    QVERIFY(mill.ToolBlock == current.ToolBlock);  // a copy keeps its tool change
    // Closed without saving, the edited tokens stay in use.
    QCOMPARE(QString::fromStdString(TokenLine(current.Tokens[1])), QString("5*Y*%1.3f*F"));

    // Opened again: the list has the new post; delete it (No, then Yes).
    WhileOpen(*w, [&](TfrmPost* dlg) {
      QVERIFY(dlg->cmbName->findText("Mill") >= 0);
      QCOMPARE(dlg->cmbName->currentText(), QString());
      QCOMPARE(dlg->ScriptSlot(), 0);
      QCOMPARE(dlg->rgMove->itemIndex(), 0);
      TypeName(dlg, "Mill");
      f.messages.clear();
      f.answers = {MsgResult::No};
      Click(dlg->cmdDelete);
      QCOMPARE(f.messages.size(), size_t{1});
      QCOMPARE(f.messages[0].Text, std::string("Are you sure you want to delete Mill"));
      QVERIFY(PostExists("Mill", posts));
      f.answers = {MsgResult::Yes};
      Click(dlg->cmdDelete);
      QVERIFY(!PostExists("Mill", posts));
      QCOMPARE(dlg->cmbName->findText("Mill"), -1);
      QCOMPARE(dlg->cmbName->currentText(), QString());
      // Nothing to delete without a name, and no question.
      f.messages.clear();
      Click(dlg->cmdDelete);
      QVERIFY(f.messages.empty());
    });
    QCOMPARE(ListPostNames(posts), shipped);
  }
};

QTEST_MAIN(PostEditorTest)
#include "post_editor_test.moc"
