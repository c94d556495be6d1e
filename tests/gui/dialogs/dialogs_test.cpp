// The strategy dialogs and the overwrite question, driven as a user would:
// keys typed into the fields, buttons clicked, and the machining parameters,
// line numbering and preset file checked afterwards.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <filesystem>
#include <memory>

#include "dialogs/overwrite_dialog.h"
#include "dialogs/strategy_dialogs.h"
#include "recording_ui.h"
#include "base/numbers.h"
#include "toolpaths/presets.h"

using namespace tarnak;
using namespace tarnak::gui;
using tarnak::gui::testing::RecordingUi;

namespace {

// An option button reacts to clicks on its mark and caption only, which
// lie at its left end.
void ClickOption(QAbstractButton* button) {
  QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(5, button->height() / 2));
}

void TypeInto(QLineEdit* field, const QString& text) {
  field->clear();
  QTest::keyClicks(field, text);
}

std::filesystem::path Folder(const QTemporaryDir& dir) {
  return std::filesystem::path(dir.path().toStdString());
}

// What a user fills in for a pocket before pressing its button.
void FillPocket(TfrmPocket& dlg) {
  TypeInto(dlg.txtPocketDepth, "2.5");
  TypeInto(dlg.txtRapidHeight, "5");
  TypeInto(dlg.txtStartAt, "10");
  TypeInto(dlg.txtIncrement, "2");
  TypeInto(dlg.txtRoughName, "Flat 6");
  TypeInto(dlg.txtRoughDia, "6");
  TypeInto(dlg.txtRoughXY, "3");
  TypeInto(dlg.txtRoughZ, "1");
  TypeInto(dlg.txtStock, "0.2");
  TypeInto(dlg.txtRoughPlunge, "100");
  TypeInto(dlg.txtRoughFeed, "300");
  TypeInto(dlg.txtRoughRPM, "12000");
  dlg.Combo1->setCurrentIndex(3);
}

}  // namespace

class StrategyDialogsTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  RecordingUi ui_;
  std::unique_ptr<Document> doc_;

 private slots:
  void init() {
    QVERIFY(dir_.isValid());
    std::filesystem::remove(Folder(dir_) / kPresetFileName);
    ui_.Messages.clear();
    doc_ = std::make_unique<Document>(ui_);
    SetDecimalSeparator('.');
  }

  void numberFieldsDropKeysTheyDoNotTake() {
    TfrmPocket dlg(*doc_, Folder(dir_));
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    TypeInto(dlg.txtRoughDia, "1a2.5,x-");
    QCOMPARE(dlg.txtRoughDia->text(), QString("12.5,"));
    QTest::keyClick(dlg.txtRoughDia, Qt::Key_Backspace);
    QCOMPARE(dlg.txtRoughDia->text(), QString("12.5"));

    // Line numbers and spindle speeds take digits only.
    TypeInto(dlg.txtStartAt, "1.0a5 ");
    QCOMPARE(dlg.txtStartAt->text(), QString("105"));
    TypeInto(dlg.txtRoughRPM, "12,000");
    QCOMPARE(dlg.txtRoughRPM->text(), QString("12000"));

    // At most ten characters; tool names take any text.
    TypeInto(dlg.txtPocketDepth, "123456789012");
    QCOMPARE(dlg.txtPocketDepth->text(), QString("1234567890"));
    TypeInto(dlg.txtRoughName, "Ball 3mm, 2-flute");
    QCOMPARE(dlg.txtRoughName->text(), QString("Ball 3mm, 2-flute"));

    dlg.SSCheck1->click();
    ClickOption(dlg.optEntry[1]);
    TypeInto(dlg.txtLength[0], "0.5e");
    QCOMPARE(dlg.txtLength[0]->text(), QString("0.5"));
  }

  void formDefaultsWithoutPresetFile() {
    TfrmPocket dlg(*doc_, Folder(dir_));
    QCOMPARE(dlg.windowTitle().isEmpty(), false);
    QCOMPARE(dlg.cmdPocket->text(), QString("ポケット"));
    QCOMPARE(dlg.cmbConfig->currentText(), QString("なし"));
    QCOMPARE(dlg.cmbConfig->count(), 0);
    QCOMPARE(dlg.txtPocketDepth->text(), QString("1"));
    QCOMPARE(dlg.txtRapidHeight->text(), QString("0"));
    QCOMPARE(dlg.txtRoughName->text(), QString("なし"));
    QCOMPARE(dlg.cmbCoolant->currentText(), QString("Off"));
    QCOMPARE(dlg.Combo1->count(), 10);
    QCOMPARE(dlg.Combo1->itemText(9), QString("9"));
    QVERIFY(dlg.optEntry[0]->isChecked());
    QVERIFY(dlg.optExit[0]->isChecked());
    QCOMPARE(dlg.txtLength[0]->text(), QString(".25"));
    QVERIFY(!dlg.SSCheck1->isChecked());
    QCOMPARE(dlg.optFinish->itemIndex(), 1);
    // Every control is found under the name the program's forms use.
    for (const char* name : {"txtPocketDepth", "txtRoughDia", "txtRoughXY", "txtFinishXY",
                             "optEntry_3", "optExit_2", "txtLength_1", "SSCheck1", "Combo3",
                             "cmdSaveConfig", "cmdLoadConfig", "cmdDeleteConfig", "cmdPocket"}) {
      QVERIFY2(dlg.findChild<QWidget*>(name) != nullptr, name);
    }
  }

  void pocketButtonFillsParametersAndSavesLast() {
    TfrmPocket dlg(*doc_, Folder(dir_));
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    FillPocket(dlg);
    dlg.SSCheck1->click();
    TypeInto(dlg.txtFinishDia, "4");
    TypeInto(dlg.txtFinishXY, "1.5");
    TypeInto(dlg.txtFinishZ, ".5");
    TypeInto(dlg.txtFinishFeed, "250");
    TypeInto(dlg.txtFinishRPM, "15000");
    TypeInto(dlg.txtFinishName, "Finisher");
    dlg.Combo3->setCurrentIndex(7);
    dlg.optFinish->item(2)->click();  // islands, boundaries and the bottom
    ClickOption(dlg.optEntry[1]);
    TypeInto(dlg.txtLength[0], "0.3");
    doc_->PickMode = Pick{100};

    dlg.cmdPocket->click();
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    const TTNMachiningParameters& p = doc_->MachiningParams;
    QCOMPARE(p.Depth, 2.5);
    QCOMPARE(p.Depth2, 2.5);
    QCOMPARE(p.Rough.Radius, 3.0);
    QCOMPARE(p.Rough.XYStep, 3.0);
    QCOMPARE(p.Rough.SpindleSpeed, 12000);
    QCOMPARE(p.Rough.ToolNumber, 3);
    QCOMPARE(p.Rough.Name, std::string("Flat 6"));
    QCOMPARE(p.Finish.Radius, 2.0);
    QCOMPARE(p.Finish.XYStep, 1.5);
    QCOMPARE(p.Finish.ToolNumber, 7);
    QCOMPARE(p.Finish.Name, std::string("Finisher"));
    QCOMPARE(p.FinishMode, kFinishAll);
    QCOMPARE(p.BottomStock, 0.2);  // the rough stock, for "both + bottom"
    QCOMPARE(p.Compensation, kCompNone);
    QCOMPARE(p.EntryKind, kLeadArc);
    QCOMPARE(p.EntryLength, 0.3);
    QCOMPARE(p.ExitKind, kLeadNone);
    QCOMPARE(p.ExitLength, 0.0);
    QCOMPARE(doc_->PostDefinition.Start, 10);
    QCOMPARE(doc_->PostDefinition.Increment, 2);
    QCOMPARE(dlg.numbering().Start, 10);
    QCOMPARE(dlg.depth(), 2.5);
    QCOMPARE(doc_->PickMode, Pick{100});  // only cancelling forgets the pick

    // The preset "LAST" now holds the dialog, and a dialog made later
    // starts from it.
    StrategyDialogFields last;
    QCOMPARE(LoadPreset(Folder(dir_) / kPresetFileName, "LAST", StrategyDialog::Pocket, last),
             PresetLoad::Loaded);
    QCOMPARE(last.RoughName, std::string("Flat 6"));
    TfrmPocket later(*doc_, Folder(dir_));
    QCOMPARE(later.txtRoughName->text(), QString("Flat 6"));
    QCOMPARE(later.txtRoughDia->text(), QString("6"));
    QVERIFY(later.SSCheck1->isChecked());
    QCOMPARE(later.optFinish->itemIndex(), 2);
    QVERIFY(later.txtFinishDia->isEnabled());
    QCOMPARE(later.cmbConfig->currentText(), QString("なし"));
    QVERIFY(ui_.Messages.empty());
  }

  void pocketWithoutFinishPass() {
    TfrmPocket dlg(*doc_, Folder(dir_));
    FillPocket(dlg);
    TypeInto(dlg.txtFinishDia, "4");  // typed, but the box stays clear
    dlg.optFinish->setItemIndex(2);
    doc_->MachiningParams.BottomStock = 9.0;
    dlg.cmdPocket->click();
    const TTNMachiningParameters& p = doc_->MachiningParams;
    QCOMPARE(p.Finish.Radius, 0.0);
    QCOMPARE(p.Finish.Name, std::string("Unknown"));
    QCOMPARE(p.FinishMode, kFinishNone);
    QCOMPARE(p.BottomStock, 0.0);

    // An increment of 0 would number every block alike.
    TypeInto(dlg.txtIncrement, "0");
    dlg.cmdPocket->click();
    QCOMPARE(doc_->PostDefinition.Increment, 1);
  }

  void cancelFillsNothingAndForgetsThePick() {
    TfrmPocket dlg(*doc_, Folder(dir_));
    FillPocket(dlg);
    doc_->PickMode = Pick{100};
    doc_->MachiningParams.Rough.Radius = 42.0;
    dlg.cmdCancel->click();
    QCOMPARE(dlg.result(), int(QDialog::Rejected));
    QCOMPARE(doc_->PickMode, kPickNone);
    QCOMPARE(doc_->MachiningParams.Rough.Radius, 42.0);
    QVERIFY(!std::filesystem::exists(Folder(dir_) / kPresetFileName));

    // Escape cancels as well.
    doc_->PickMode = Pick{200};
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QTest::keyClick(&dlg, Qt::Key_Escape);
    QCOMPARE(doc_->PickMode, kPickNone);
    QVERIFY(!dlg.isVisible());
  }

  // A value the strategy cannot cut with, or a text that is not a number,
  // keeps the dialog open at its field; nothing is filled or saved.
  void refusedFieldsKeepTheDialogOpenAtTheField() {
    TfrmPocket dlg(*doc_, Folder(dir_));
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    FillPocket(dlg);
    doc_->MachiningParams.RapidHeight = 42;
    const std::filesystem::path presets = Folder(dir_) / kPresetFileName;
    const struct {
      QLineEdit* field;
      const char* text;
      const char* message;
    } cases[] = {
        {dlg.txtRoughDia, "0", "Rough tool diameter must be greater than 0."},
        {dlg.txtRoughXY, "7", "Rough step-over must not be greater than the rough tool diameter."},
        {dlg.txtRoughFeed, "", "Rough feed must be greater than 0."},
        // The field drops the 'e' as it is typed.
        {dlg.txtRapidHeight, "1.2.3e5", "Rapid height: '1.2.35' is not a valid floating point value"},
        {dlg.txtRoughZ, "1,2.35", "Rough Z step: '1,2.35' is not a valid floating point value"},
    };
    for (const auto& c : cases) {
      FillPocket(dlg);
      TypeInto(c.field, c.text);
      dlg.txtPocketDepth->setFocus();
      ui_.Messages.clear();
      dlg.cmdPocket->click();
      QVERIFY2(dlg.isVisible(), c.message);
      QCOMPARE(dlg.result(), int(QDialog::Rejected));
      QCOMPARE(ui_.Messages.size(), std::size_t(1));
      QCOMPARE(QString::fromStdString(ui_.Messages[0]), QString(c.message));
      QTRY_COMPARE(dlg.focusWidget(), static_cast<QWidget*>(c.field));
      QCOMPARE(doc_->MachiningParams.RapidHeight, 42.0);
      QVERIFY(!std::filesystem::exists(presets));
    }
    // The preset button does not store a text that is not a number either.
    TypeInto(dlg.txtRoughZ, "1");
    TypeInto(dlg.txtRapidHeight, "5..");
    ui_.Messages.clear();
    dlg.SaveConfig("Mine");
    QCOMPARE(ui_.Messages.size(), std::size_t(1));
    QCOMPARE(ui_.Messages[0], std::string("Rapid height: '5..' is not a valid floating point value"));
    QVERIFY(!std::filesystem::exists(presets));
    // Put right, the same press goes through.
    FillPocket(dlg);
    dlg.cmdPocket->click();
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QCOMPARE(doc_->MachiningParams.RapidHeight, 5.0);
  }

  void executeReturnsTrueOnlyThroughTheActionButton() {
    TfrmDrill dlg(*doc_, Folder(dir_));
    TypeInto(dlg.txtRoughPlunge, "80");
    QTimer::singleShot(0, &dlg, [&dlg] { dlg.cmdDrill->click(); });
    QVERIFY(dlg.Execute());
    QTimer::singleShot(0, &dlg, [&dlg] { dlg.cmdCancel->click(); });
    QVERIFY(!dlg.Execute());
  }

  void finishBoxAndEntryKindsEnableTheirFields() {
    TfrmPocket dlg(*doc_, Folder(dir_));
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QVERIFY(!dlg.txtFinishDia->isEnabled());
    QVERIFY(!dlg.optFinish->isEnabled());
    QVERIFY(!dlg.optEntry[2]->isEnabled());
    QVERIFY(!dlg.txtLength[1]->isEnabled());

    dlg.SSCheck1->click();
    QVERIFY(dlg.txtFinishDia->isEnabled());
    QVERIFY(dlg.txtFinishXY->isEnabled());
    QVERIFY(dlg.optFinish->isEnabled());
    QVERIFY(dlg.optEntry[2]->isEnabled());
    QVERIFY(!dlg.txtLength[0]->isEnabled());  // entry kind none

    ClickOption(dlg.optEntry[2]);
    QVERIFY(dlg.txtLength[0]->isEnabled());
    QCOMPARE(dlg.lblLength[0]->text(), QString("長さ"));
    ClickOption(dlg.optEntry[1]);
    QCOMPARE(dlg.lblLength[0]->text(), QString("半径"));
    TypeInto(dlg.txtLength[0], "0.75");
    ClickOption(dlg.optEntry[0]);
    QVERIFY(!dlg.txtLength[0]->isEnabled());
    QCOMPARE(dlg.txtLength[0]->text(), QString("0"));
    QVERIFY(!dlg.txtLength[1]->isEnabled());

    dlg.SSCheck1->click();
    QVERIFY(!dlg.txtFinishDia->isEnabled());
    QVERIFY(!dlg.optEntry[1]->isEnabled());
  }

  void labelOfTheFocusedFieldIsRaised() {
    TfrmContour dlg(*doc_, Folder(dir_));
    dlg.show();
    dlg.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dlg));
    auto* diameter = dlg.findChild<FocusLabel*>("lblRoughDia");
    auto* stepZ = dlg.findChild<FocusLabel*>("lblRoughZ");
    QVERIFY(diameter && stepZ);
    dlg.txtRoughDia->setFocus();
    QTRY_VERIFY(diameter->raised());
    QVERIFY(!stepZ->raised());
    dlg.txtRoughZ->setFocus();
    QTRY_VERIFY(stepZ->raised());
    QVERIFY(!diameter->raised());
  }

  void contourCompensationAndCutoutLock() {
    TfrmContour dlg(*doc_, Folder(dir_));
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QCOMPARE(dlg.cmdContour->text(), QString("輪郭加工"));
    QVERIFY(dlg.findChild<QLineEdit*>("txtFinishXY") == nullptr);
    dlg.SSCheck1->click();
    QVERIFY(dlg.txtFinishDia->isEnabled());
    ClickOption(dlg.optCompCut);
    QVERIFY(!dlg.txtFinishDia->isEnabled());
    QVERIFY(!dlg.Combo3->isEnabled());
    QVERIFY(dlg.optEntry[1]->isEnabled());  // leads stay available
    ClickOption(dlg.optCompLeft);
    QVERIFY(dlg.txtFinishDia->isEnabled());
    // With the finish box clear, choosing a side does not unlock them.
    dlg.SSCheck1->click();
    ClickOption(dlg.optCompRight);
    QVERIFY(!dlg.txtFinishDia->isEnabled());
    dlg.SSCheck1->click();

    TypeInto(dlg.txtContourDepth, "3");
    TypeInto(dlg.txtRoughDia, "2");
    TypeInto(dlg.txtRoughZ, "1");
    TypeInto(dlg.txtRoughFeed, "300");
    TypeInto(dlg.txtRoughPlunge, "100");
    TypeInto(dlg.txtFinishDia, "1");
    TypeInto(dlg.txtFinishZ, "1");
    TypeInto(dlg.txtFinishFeed, "200");
    TypeInto(dlg.txtStock, "0.1");
    dlg.cmbCoolant->setCurrentIndex(1);
    ClickOption(dlg.optExit[3]);
    TypeInto(dlg.txtLength[1], "0.4");
    dlg.cmdContour->click();
    const TTNMachiningParameters& p = doc_->MachiningParams;
    QCOMPARE(p.Compensation, kCompRight);
    QCOMPARE(p.FinishMode, kFinishIslands);  // contour: finish pass on
    QCOMPARE(p.Finish.Radius, 0.5);
    QCOMPARE(p.Rough.StockToLeave, 0.1);
    QCOMPARE(p.Finish.StockToLeave, 0.1);
    QCOMPARE(p.BottomStock, 0.0);
    QCOMPARE(p.Coolant, kCoolantOn);
    QCOMPARE(p.ExitKind, kLeadTangent);
    QCOMPARE(p.ExitLength, 0.4);
    QCOMPARE(p.Depth, 3.0);
  }

  void drillAndBoardFillTheirOwnFields() {
    TfrmDrill drill(*doc_, Folder(dir_));
    QCOMPARE(drill.txtRoughRpm->objectName(), QString("txtRoughRpm"));
    QVERIFY(drill.optCanned->isChecked());
    QVERIFY(drill.fraMoves->isHidden());
    QVERIFY(drill.txtRoughFeed == nullptr);
    TypeInto(drill.txtDepth, "4");
    TypeInto(drill.txtRoughDia, "3.2");
    TypeInto(drill.txtRoughPlunge, "80");
    TypeInto(drill.txtRoughRpm, "2500");
    doc_->MachiningParams.Compensation = kCompLeft;
    drill.cmdDrill->click();
    TTNMachiningParameters& p = doc_->MachiningParams;
    QCOMPARE(p.Rough.Radius, 1.6);
    QCOMPARE(p.Rough.Feed, 80.0);
    QCOMPARE(p.Rough.SpindleSpeed, 2500);
    QCOMPARE(p.CannedCycles, uint8_t(1));
    QCOMPARE(p.Compensation, kCompNone);

    TfrmPCB board(*doc_, Folder(dir_));
    QCOMPARE(board.cmdRoute->text(), QString("ルート"));
    QVERIFY(board.findChild<QComboBox*>("cmbCoolant") == nullptr);
    TypeInto(board.txtContourDepth, "0.1");
    TypeInto(board.txtRoughDia, "0.2");
    TypeInto(board.txtRoughFeed, "50");
    TypeInto(board.txtRoughPlunge, "20");
    p.EntryKind = kLeadArc;
    board.cmdRoute->click();
    QCOMPARE(p.Compensation, kCompCutout);
    QCOMPARE(p.Rough.Radius, 0.1);
    QCOMPARE(p.Rough.ZStep, 0.1);
    QCOMPARE(p.Rough.StockToLeave, 0.1);
    QCOMPARE(p.Rough.Feed, 50.0);
    QCOMPARE(p.EntryKind, kLeadNone);
  }

  void stepOverFollowsThePocketTool() {
    doc_->Options.Program.Overlap = 0.4;
    TfrmPocket dlg(*doc_, Folder(dir_));
    dlg.txtRoughDia->clear();
    QTest::keyClicks(dlg.txtRoughDia, "5");
    QCOMPARE(dlg.txtRoughXY->text(), QString("2.0000"));
    QTest::keyClicks(dlg.txtRoughDia, "0");
    QCOMPARE(dlg.txtRoughXY->text(), QString("20.0000"));
    dlg.SSCheck1->click();
    dlg.txtFinishDia->clear();
    QTest::keyClicks(dlg.txtFinishDia, "0,5");
    QCOMPARE(dlg.txtFinishXY->text(), QString("0.2000"));
    // Typing the step itself is still possible.
    TypeInto(dlg.txtRoughXY, "1.5");
    QCOMPARE(dlg.txtRoughXY->text(), QString("1.5"));
  }

  void presetSaveLoadAndDelete() {
    TfrmPocket dlg(*doc_, Folder(dir_));
    FillPocket(dlg);
    dlg.SSCheck1->click();
    TypeInto(dlg.txtFinishDia, "4");
    ClickOption(dlg.optExit[2]);
    TypeInto(dlg.txtLength[1], "0.6");
    dlg.cmbConfig->setEditText("Alu 6mm");
    dlg.cmdSaveConfig->click();
    QCOMPARE(ui_.Messages.size(), std::size_t(1));
    QCOMPARE(ui_.Messages[0], std::string("Configuration Alu 6mm saved"));
    QCOMPARE(dlg.cmbConfig->count(), 1);
    QCOMPARE(dlg.cmbConfig->itemText(0), QString("Alu 6mm"));
    const StrategyDialogFields saved = dlg.fields();

    // Change everything, then load the preset back by its name.
    TypeInto(dlg.txtRoughDia, "9");
    TypeInto(dlg.txtRoughName, "Other");
    TypeInto(dlg.txtPocketDepth, "7");
    dlg.SSCheck1->click();
    ClickOption(dlg.optEntry[3]);
    dlg.cmbConfig->setEditText("Alu 6mm");
    dlg.cmdLoadConfig->click();
    StrategyDialogFields loaded = dlg.fields();
    QCOMPARE(loaded.Depth, std::string("7"));  // depths are never stored
    // Every stored value comes back, numbers in their shortest form.
    QVERIFY(PresetFromFields(StrategyDialog::Pocket, loaded) ==
            PresetFromFields(StrategyDialog::Pocket, saved));
    QCOMPARE(loaded.RoughName, std::string("Flat 6"));
    QCOMPARE(loaded.FinishStepXY, std::string("2"));  // proposed as "2.0000"
    QCOMPARE(loaded.EntryLength, std::string("0.25"));
    QCOMPARE(loaded.Exit, kLeadPerpendicular);
    QVERIFY(loaded.FinishPass);
    QVERIFY(dlg.txtLength[1]->isEnabled());

    // The list is sorted without regard to case.
    dlg.cmbConfig->setEditText("beta");
    dlg.cmdSaveConfig->click();
    dlg.cmbConfig->setEditText("Zinc");
    dlg.cmdSaveConfig->click();
    QCOMPARE(dlg.cmbConfig->count(), 3);
    QCOMPARE(dlg.cmbConfig->itemText(0), QString("Alu 6mm"));
    QCOMPARE(dlg.cmbConfig->itemText(1), QString("beta"));

    dlg.cmbConfig->setEditText("Alu 6mm");
    dlg.cmdDeleteConfig->click();
    QCOMPARE(dlg.cmbConfig->count(), 2);
    QCOMPARE(dlg.cmbConfig->currentText(), QString("beta"));
    QCOMPARE(PresetNames(Folder(dir_) / kPresetFileName),
             (std::vector<std::string>{"beta", "Zinc"}));

    // "None" and the combo's own "なし" are not names.
    const std::size_t messages = ui_.Messages.size();
    for (const char* name : {"None", "なし", "  "}) {
      dlg.cmbConfig->setEditText(QString::fromUtf8(name));
      dlg.cmdSaveConfig->click();
      dlg.cmdDeleteConfig->click();
    }
    QCOMPARE(ui_.Messages.size(), messages);
    QCOMPARE(PresetNames(Folder(dir_) / kPresetFileName).size(), std::size_t(2));
  }

  void presetWithFinishOffClearsTheBoxWhenLoaded() {
    TfrmContour dlg(*doc_, Folder(dir_));
    dlg.SSCheck1->click();
    dlg.SaveConfig("On");
    TypeInto(dlg.txtFinishDia, "3");
    dlg.SSCheck1->click();
    dlg.SaveConfig("Off");
    StrategyDialogFields stored;
    LoadPreset(Folder(dir_) / kPresetFileName, "Off", StrategyDialog::Contour, stored);
    QVERIFY(!stored.FinishPass);
    QCOMPARE(stored.FinishDiameter, std::string("3"));

    dlg.LoadConfig("On");
    QVERIFY(dlg.SSCheck1->isChecked());
    dlg.LoadConfig("Off");
    QVERIFY(!dlg.SSCheck1->isChecked());
    QVERIFY(!dlg.txtFinishDia->isEnabled());

    // A section without Entry key: tangent.
    dlg.LoadConfig("NoSuchPreset");
    QVERIFY(dlg.optEntry[3]->isChecked());
    QCOMPARE(dlg.txtStartAt->text(), QString("100"));
  }

  void loadingWithoutPresetFileKeepsTheControls() {
    TfrmPocket dlg(*doc_, Folder(dir_));
    TypeInto(dlg.txtRoughDia, "8");
    dlg.LoadConfig("Anything");
    QCOMPARE(dlg.txtRoughDia->text(), QString("8"));
    dlg.DeleteConfig("Anything");
    QVERIFY(ui_.Messages.empty());
  }

  void overwriteQuestion() {
    TfrmOverWrite dlg;
    QCOMPARE(dlg.windowTitle(), QString("File Exist!"));
    QCOMPARE(dlg.lblMessage->text(),
             QString("File Exists!  Would you like to Overwrite or Append this file"));
    QCOMPARE(dlg.cmdOverwrite->text(), QString("Overwrite"));
    QCOMPARE(dlg.cmdAppend->text(), QString("Append"));

    QTimer::singleShot(0, &dlg, [&dlg] { dlg.cmdAppend->click(); });
    QCOMPARE(dlg.Ask(), std::optional<ExistingNcFile>(ExistingNcFile::Append));
    QTimer::singleShot(0, &dlg, [&dlg] { dlg.cmdOverwrite->click(); });
    QCOMPARE(dlg.Ask(), std::optional<ExistingNcFile>(ExistingNcFile::Overwrite));
    // Dismissed: no answer, so the caller writes nothing.
    QTimer::singleShot(0, &dlg, [&dlg] { QTest::keyClick(&dlg, Qt::Key_Escape); });
    QCOMPARE(dlg.Ask(), std::optional<ExistingNcFile>());
    // Enter alone does not choose either.
    QTimer::singleShot(0, &dlg, [&dlg] {
      QTest::keyClick(&dlg, Qt::Key_Return);
      if (dlg.isVisible()) dlg.reject();
    });
    QCOMPARE(dlg.Ask(), std::optional<ExistingNcFile>());
  }
};

QTEST_MAIN(StrategyDialogsTest)
#include "dialogs_test.moc"
