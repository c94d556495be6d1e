// The options dialog: filled from memory, every control acting at once, the
// colour and font choosers answered by the test, the post list that cannot
// be typed into, and the save button writing "Options.cfg".
#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <fstream>
#include <memory>

#include "dialogs/options_dialog.h"
#include "recording_ui.h"
#include "base/numbers.h"

using namespace tarnak;
using namespace tarnak::gui;
using tarnak::gui::testing::RecordingUi;

namespace {

std::filesystem::path Folder(const QTemporaryDir& dir) {
  return std::filesystem::path(dir.path().toStdString());
}

// An option button reacts to clicks on its mark and caption only, which
// lie at its left end.
void ClickOption(QAbstractButton* button) {
  QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(5, button->height() / 2));
}

void TypeInto(QLineEdit* field, const QString& text) {
  field->clear();
  QTest::keyClicks(field, text);
}

}  // namespace

class OptionsDialogTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  RecordingUi ui_;
  std::unique_ptr<Document> doc_;
  DialogServices services_;
  std::optional<QColor> nextColour_;
  std::optional<QFont> nextFont_;
  int colourAsked_ = 0;

 private slots:
  void init() {
    QVERIFY(dir_.isValid());
    std::filesystem::remove(Folder(dir_) / "Options.cfg");
    std::filesystem::remove(Folder(dir_) / "Posts.Cfg");
    SetDecimalSeparator('.');
    ui_.Messages.clear();
    doc_ = std::make_unique<Document>(ui_);
    colourAsked_ = 0;
    nextColour_.reset();
    nextFont_.reset();
    services_.ChooseColour = [this](QWidget*, const QColor&) {
      ++colourAsked_;
      return nextColour_;
    };
    services_.ChooseFont = [this](QWidget*, const QFont&) { return nextFont_; };
  }

  void cleanup() { SetDecimalSeparator('.'); }

  void filledFromMemory() {
    ProgramOptions& o = doc_->Options;
    o.Program.Dir = true;
    o.Program.PocketDir = true;
    o.Program.Overlap = 0.33;
    o.Program.StlOverlap = 0.1;
    o.View.MarkDirs = true;
    o.View.GridSize = 0.5;
    o.View.Back = MakeColour(10, 20, 30);
    o.Editor.AddressStyle = EditorStyle::Bold;
    o.RoughTolerances.TanDev = 0.00005;
    o.Program.Font = "Courier";
    TfrmOptions dlg(*doc_, Folder(dir_), services_);
    QCOMPARE(dlg.rgDir->itemIndex(), 0);  // clockwise
    QCOMPARE(dlg.rgPocketDir->itemIndex(), 1);
    QCOMPARE(dlg.rgMarkDirs->itemIndex(), 1);
    QCOMPARE(dlg.rgAddressStyle->itemIndex(), 1);
    QCOMPARE(dlg.txtOverlap->text(), QString("33"));
    QCOMPARE(dlg.txtStlOverlap->text(), QString("10"));
    QCOMPARE(dlg.txtGridSize->text(), QString("0.50"));
    QCOMPARE(dlg.txtTanDevRough->text(), QString("5E-5"));
    QCOMPARE(dlg.txtFont->text(), QString("Courier"));
    QCOMPARE(dlg.pnlBack->colour(), MakeColour(10, 20, 30));
    QVERIFY(dlg.chkTrace->isChecked());
    QVERIFY(dlg.grpOffset->isHidden());
    QCOMPARE(dlg.cmbPost->currentText(), QString("Orvano"));
    QCOMPARE(dlg.cmdSave->text(), QString("保存"));
    QCOMPARE(dlg.cmdClose->text(), QString("閉じる"));
    QCOMPARE(dlg.PageControl1->count(), 6);

    // Execute refills from memory: a change made elsewhere shows.
    o.Program.Dir = false;
    dlg.Fill();
    QCOMPARE(dlg.rgDir->itemIndex(), 1);
  }

  void radioGroupsAndCheckBoxesActAtOnce() {
    TfrmOptions dlg(*doc_, Folder(dir_), services_);
    dlg.show();
    QSignalSpy changed(&dlg, &TfrmOptions::optionsChanged);
    ProgramOptions& o = doc_->Options;

    ClickOption(dlg.rgDir->item(0));
    QVERIFY(o.Program.Dir);
    ClickOption(dlg.rgDir->item(1));
    QVERIFY(!o.Program.Dir);
    ClickOption(dlg.rgPocketDir->item(1));
    QVERIFY(o.Program.PocketDir);
    ClickOption(dlg.rgMarkDirs->item(1));
    QVERIFY(o.View.MarkDirs);
    ClickOption(dlg.rgCommentStyle->item(2));
    QCOMPARE(o.Editor.CommentStyle, EditorStyle::Italic);

    QVERIFY(o.Program.Trace);
    dlg.chkTrace->click();
    QVERIFY(!o.Program.Trace);
    dlg.chkFix->click();
    QVERIFY(o.Program.Fix);
    QVERIFY(!o.Program.ExpandBlocks);
    dlg.chkExpandBlocks->click();
    QVERIFY(o.Program.ExpandBlocks);
    dlg.chkAir->click();
    QVERIFY(o.Program.Air);
    dlg.chkDrawBoundaries->click();
    QVERIFY(!o.View.DrawBoundaries);
    QVERIFY(changed.count() >= 4);  // the view redraws for what it shows
  }

  void numberFieldsSetTheirOptionWhileTyping() {
    TfrmOptions dlg(*doc_, Folder(dir_), services_);
    ProgramOptions& o = doc_->Options;

    TypeInto(dlg.txtOverlap, "3.3a");  // digits only
    QCOMPARE(dlg.txtOverlap->text(), QString("33"));
    QCOMPARE(o.Program.Overlap, 0.33);
    dlg.txtOverlap->selectAll();
    QTest::keyClick(dlg.txtOverlap, Qt::Key_Backspace);
    QCOMPARE(o.Program.Overlap, 0.0);  // an empty field reads as 0

    TypeInto(dlg.txtMinArcLengthFinish, "0.02x");
    QCOMPARE(dlg.txtMinArcLengthFinish->text(), QString("0.02"));
    QCOMPARE(o.FinishTolerances.MinArcLength, 0.02);
    QVERIFY(ui_.Messages.empty());

    // Not a number with the current separator: the user is told and the
    // option keeps what it had.
    TypeInto(dlg.txtTanDevRough, "1,5");
    QVERIFY(!ui_.Messages.empty());
    QCOMPARE(o.RoughTolerances.TanDev, 1.0);

    TypeInto(dlg.txtFontPrecision, "12a");
    QCOMPARE(o.Program.FontPrecision, 12);

    // The STL fields keep their option while they are empty.
    TypeInto(dlg.txtSTLDepth, "2.5");
    QCOMPARE(o.Program.STLDepth, 2.5);
    dlg.txtSTLDepth->selectAll();
    QTest::keyClick(dlg.txtSTLDepth, Qt::Key_Backspace);
    QCOMPARE(o.Program.STLDepth, 2.5);
    TypeInto(dlg.txtStlOverlap, "25");
    QCOMPARE(o.Program.StlOverlap, 0.25);
    TypeInto(dlg.txtGridSize, "0.25");
    QCOMPARE(o.View.GridSize, 0.25);
    TypeInto(dlg.txtGridSize, "0");
    QCOMPARE(o.View.GridSize, 0.25);  // a zero grid cannot be drawn
  }

  void colourPanelsAskForAColour() {
    TfrmOptions dlg(*doc_, Folder(dir_), services_);
    dlg.show();
    QSignalSpy changed(&dlg, &TfrmOptions::optionsChanged);
    nextColour_ = QColor(0x12, 0x34, 0x56);
    QTest::mouseClick(dlg.pnlRTool, Qt::LeftButton);
    QCOMPARE(colourAsked_, 1);
    const Colour expected = MakeColour(0x12, 0x34, 0x56);
    QCOMPARE(doc_->Options.View.RTool, expected);
    QCOMPARE(dlg.pnlRTool->colour(), expected);
    QCOMPARE(dlg.pnlRTool->palette().color(QPalette::Window), QColor(0x12, 0x34, 0x56));
    // New toolpaths take the colour.
    QCOMPARE(doc_->MachiningParams.Rough.Colour, int32_t(expected));
    QCOMPARE(changed.count(), 1);

    nextColour_ = QColor(Qt::red);
    QTest::mouseClick(dlg.pnlCommentColor, Qt::LeftButton);
    QCOMPARE(doc_->Options.Editor.CommentColor, kColourRed);

    // Cancelled: nothing changes.
    nextColour_.reset();
    QTest::mouseClick(dlg.pnlBack, Qt::LeftButton);
    QCOMPARE(doc_->Options.View.Back, kColourWhite);
    QCOMPARE(changed.count(), 2);
  }

  void fontFieldAsksForAFont() {
    TfrmOptions dlg(*doc_, Folder(dir_), services_);
    dlg.show();
    QFont chosen(QStringLiteral("Tarnak Test Face"));
    chosen.setBold(true);
    chosen.setItalic(true);
    nextFont_ = chosen;
    QTest::mouseClick(dlg.txtFont, Qt::LeftButton);
    QCOMPARE(QString::fromStdString(doc_->Options.Program.Font), chosen.family());
    QVERIFY(doc_->Options.Program.FontBold);
    QVERIFY(doc_->Options.Program.FontItalic);
    QCOMPARE(dlg.txtFont->text(), chosen.family());
    // The field cannot be typed into.
    QTest::keyClicks(dlg.txtFont, "x");
    QCOMPARE(dlg.txtFont->text(), chosen.family());

    nextFont_.reset();
    QTest::mouseClick(dlg.txtFont, Qt::LeftButton);
    QVERIFY(doc_->Options.Program.FontBold);
  }

  void postListBlocksTypingAndLoadsTheChosenPost() {
    {
      std::ofstream posts(Folder(dir_) / "Posts.Cfg");
      posts << "[Alpha]\r\nExtension=NC\r\n[Beta]\r\nExtension=TAP\r\nStart=5\r\n";
    }
    doc_->Options.Program.Post = "Alpha";
    TfrmOptions dlg(*doc_, Folder(dir_), services_);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QSignalSpy loaded(&dlg, &TfrmOptions::postLoaded);
    QCOMPARE(dlg.cmbPost->count(), 2);
    QCOMPARE(dlg.cmbPost->itemText(1), QString("Beta"));
    QCOMPARE(dlg.cmbPost->currentText(), QString("Alpha"));

    QTest::keyClicks(dlg.cmbPost, "Zeta");
    QTest::keyClick(dlg.cmbPost, Qt::Key_Down);
    QTest::keyClicks(dlg.cmbPost->lineEdit(), "Be");
    QCOMPARE(dlg.cmbPost->currentText(), QString("Alpha"));
    QCOMPARE(loaded.count(), 0);

    // Choose "Beta" from the drop-down list with the mouse.
    dlg.cmbPost->showPopup();
    QAbstractItemView* view = dlg.cmbPost->view();
    QVERIFY(QTest::qWaitForWindowExposed(view->window()));
    const QRect item = view->visualRect(view->model()->index(1, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, item.center());
    QTRY_COMPARE(loaded.count(), 1);
    QCOMPARE(dlg.cmbPost->currentText(), QString("Beta"));
    QCOMPARE(doc_->PostDefinition.Name, std::string("Beta"));
    QCOMPARE(doc_->PostDefinition.Extension, std::string("TAP"));
    QCOMPARE(doc_->PostDefinition.Start, 5);
    // The option itself changes only when the options are saved.
    QCOMPARE(doc_->Options.Program.Post, std::string("Alpha"));
    QVERIFY(ui_.Messages.empty());
  }

  void saveWritesTheFileAndCloses() {
    {
      std::ofstream posts(Folder(dir_) / "Posts.Cfg");
      posts << "[Alpha]\r\nExtension=NC\r\n[Beta]\r\nExtension=TAP\r\n";
    }
    doc_->Options.Program.Post = "Beta";
    TfrmOptions dlg(*doc_, Folder(dir_), services_);
    dlg.show();
    TypeInto(dlg.txtOverlap, "40");
    ClickOption(dlg.rgDir->item(0));
    dlg.cmdSave->click();
    QCOMPARE(ui_.Messages, std::vector<std::string>{"Options Saved!"});
    QVERIFY(!dlg.isVisible());
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QCOMPARE(dlg.cmbPost->currentText(), QString("Beta"));

    ProgramOptions reread;
    QVERIFY(LoadOptions(reread, Folder(dir_) / "Options.cfg").empty());
    QCOMPARE(reread.Program.Overlap, 0.4);
    QVERIFY(reread.Program.Dir);
    QCOMPARE(reread.Program.Post, std::string("Beta"));
    QVERIFY(reread == doc_->Options);
  }

  void closeWritesNothing() {
    TfrmOptions dlg(*doc_, Folder(dir_), services_);
    dlg.show();
    TypeInto(dlg.txtOverlap, "40");
    dlg.cmdClose->click();
    QVERIFY(!dlg.isVisible());
    QVERIFY(!std::filesystem::exists(Folder(dir_) / "Options.cfg"));
    QCOMPARE(doc_->Options.Program.Overlap, 0.4);  // still in effect
  }

  void saveThatFailsSaysSoAndStaysOpen() {
    TfrmOptions dlg(*doc_, Folder(dir_) / "no" / "such" / "folder", services_);
    dlg.show();
    dlg.cmdSave->click();
    QCOMPARE(ui_.Messages.size(), std::size_t(1));
    QVERIFY(ui_.Messages[0] != "Options Saved!");
    QCOMPARE(ui_.Icons[0], MsgIcon::Error);
    QVERIFY(dlg.isVisible());
    dlg.reject();
  }
};

QTEST_MAIN(OptionsDialogTest)
#include "options_dialog_test.moc"
