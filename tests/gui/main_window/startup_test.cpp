// The program's start: the splash window, the main window with every
// dialog made once and hidden, the options and the post they name, the
// shipped posts file copied on a first run, a drawing named on the command
// line; and the Help menu.
#include <QGuiApplication>
#include <QMenu>
#include <QMessageBox>

#include "about.h"
#include "dialogs/options_dialog.h"
#include "dialogs/overwrite_dialog.h"
#include "dialogs/post_dialog.h"
#include "dialogs/strategy_dialogs.h"
#include "order_window.h"
#include "splash.h"
#include "startup.h"
#include "window_fixture.h"

using namespace tarnak;
using namespace tarnak::gui;
using namespace tarnak::gui::testing;

namespace {

bool SplashShowing() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (qobject_cast<TfrmSplash*>(w) && w->isVisible()) return true;
  return false;
}

}  // namespace

class StartupTest : public QObject {
  Q_OBJECT
 private slots:
  void theSplashGivesWayToTheMaximisedWindow() {
    WindowFixture f;
    // Looks once the main window exists, during the pause.
    bool looked = false, splashDuringPause = false, windowHiddenDuringPause = false;
    QTimer look;
    look.setInterval(5);
    connect(&look, &QTimer::timeout, [&] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!qobject_cast<TfrmTarnak*>(w) || looked) continue;
        looked = true;
        splashDuringPause = SplashShowing();
        windowHiddenDuringPause = !w->isVisible();
      }
    });
    look.start();
    auto w = StartTarnak({"tarnak"}, f.folders(), 200);
    f.Answer(*w);
    look.stop();
    QVERIFY(looked);
    QVERIFY(splashDuringPause);
    QVERIFY(windowHiddenDuringPause);
    QVERIFY(!SplashShowing());
    QCOMPARE(QGuiApplication::applicationDisplayName(), QString("Tarnak 2000"));
    QCOMPARE(w->windowTitle(), QString("Tarnak 2000"));
    QVERIFY(w->isVisible());
    QVERIFY(w->windowState() & Qt::WindowMaximized);
    QVERIFY(w->mnuViewAll->isChecked());

    // Every dialog and tool window exists once, hidden, owned by the window.
    const QList<QWidget*> forms = {w->frmContour, w->frmPocket,  w->frmPCB,       w->frmDrill,
                                   w->frmPost,    w->frmOrder,   w->frmOptions,   w->frmOverWrite,
                                   w->frmAbout1};
    for (QWidget* form : forms) {
      QVERIFY(form);
      QVERIFY2(!form->isVisible(), qPrintable(form->objectName()));
      QCOMPARE(form->parentWidget(), w.get());
    }
    QCOMPARE(w->findChildren<TfrmOrder*>().size(), 1);
    QCOMPARE(w->findChildren<TfrmContour*>().size(), 1);
  }

  void aDrawingOnTheCommandLineIsOpenedOnceRunning() {
    WindowFixture f;
    const QString drawing = f.Write("squares.dxf", NestedSquares().Text());
    auto w = StartTarnak({"tarnak", drawing}, f.folders(), 0);
    f.Answer(*w);
    QTRY_COMPARE(Panel(*w, 0), QString("4 Regions Created... 1 Open"));
    QCOMPARE(w->doc().Regions.size(), size_t{5});
    QVERIFY(w->mnuSelect1->menuAction()->isEnabled());
  }

  void aBoardFileOnTheCommandLineOpensWithItsReader() {
    WindowFixture f;
    const QString board = f.Write(
        "pads.gbr", "%FSLAX24Y24*%\n%MOIN*%\n%ADD10C,0.05*%\nD10*\nX10000Y10000D03*\nX20000Y10000D03*\nM02*\n");
    auto w = StartTarnak({"tarnak", board}, f.folders(), 0);
    f.Answer(*w);
    QTRY_COMPARE(Panel(*w, 0), QString("2 Regions Created..."));
    QVERIFY(w->mnuSelect1->menuAction()->isEnabled());
    // A drill file dropped on the window: one full circle a hole.
    const QString drill = f.Write("holes.drl", "M48\nMETRIC\nT1C0.8\n%\nT1\nX1.0Y1.0\nX5.0Y1.0\nX9.0Y1.0\nM30\n");
    w->OpenDrawing(drill);
    QCOMPARE(w->doc().Regions.size(), size_t{4});
    QVERIFY(w->doc().Regions[1].Elements[0].IsFullCircle());
  }

  void aMissingDrawingOnTheCommandLineIsReported() {
    WindowFixture f;
    auto w = StartTarnak({"tarnak", f.Path("nowhere.dxf")}, f.folders(), 0);
    f.Answer(*w);
    QTRY_COMPARE(f.messages.size(), size_t{1});
    QVERIFY(f.messages[0].Text.find("nowhere.dxf") != std::string::npos);
    QCOMPARE(w->doc().Regions.size(), size_t{1});
    QVERIFY(!w->CommandRunning());
  }

  void aFirstRunGetsTheShippedPostsAndTheOptionsNameThePost() {
    WindowFixture f;
    f.Write("Options.cfg", "[Options]\nPost=Hobby\nRTool=255\nFTool=65280\n");
    QVERIFY(!QFile::exists(f.Path("Posts.Cfg")));
    auto w = f.MakeWindow();
    QVERIFY(QFile::exists(f.Path("Posts.Cfg")));
    const Document& doc = w->doc();
    QCOMPARE(doc.Options.Program.Post, std::string("Hobby"));
    QCOMPARE(doc.PostDefinition.Name, std::string("Hobby"));
    QVERIFY(doc.PostDefinition.IncludeComment);
    // The toolpath colours of the options go into both tool blocks.
    QCOMPARE(doc.MachiningParams.Rough.Colour, 255);
    QCOMPARE(doc.MachiningParams.Finish.Colour, 65280);
    QVERIFY(f.messages.empty());
  }

  void theUsersOwnPostsFileIsKept() {
    WindowFixture f;
    const std::string mine = "[Mine]\nExtension=tap\nComment=(\nEndComment=)\n";
    f.Write("Posts.Cfg", mine);
    f.Write("Options.cfg", "[Options]\nPost=Mine\n");
    auto w = f.MakeWindow();
    QCOMPARE(w->doc().PostDefinition.Name, std::string("Mine"));
    QCOMPARE(w->doc().PostDefinition.Extension, std::string("tap"));
    QFile posts(f.Path("Posts.Cfg"));
    QVERIFY(posts.open(QIODevice::ReadOnly));
    QCOMPARE(posts.readAll().toStdString(), mine);
  }

  void aPostThatIsNotThereLeavesTheStartValues() {
    WindowFixture f;
    f.Write("Options.cfg", "[Options]\nPost=Nonesuch\n");
    auto w = f.MakeWindow();
    QCOMPARE(w->doc().PostDefinition.Name, std::string("Orvano"));
    QCOMPARE(w->doc().PostDefinition.Extension, std::string("Dnc"));
  }

  void aBrokenPostIsReportedAndTheProgramStillStarts() {
    WindowFixture f;
    f.Write("Posts.Cfg", "[Bad]\nExtension=nc\nTokens0=x*X*%1.4f*F\n");
    f.Write("Options.cfg", "[Options]\nPost=Bad\n");
    // The window reports while it is being made, in a real message box:
    // the user reads it and presses OK.
    QStringList seen;
    QTimer reader;
    reader.setInterval(10);
    connect(&reader, &QTimer::timeout, [&] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        seen << box->text();
        box->button(QMessageBox::Ok)->click();
      }
    });
    reader.start();
    auto w = std::make_unique<TfrmTarnak>(f.folders());
    reader.stop();
    QCOMPARE(seen.size(), 1);
    QVERIFY2(seen[0].contains("Tokens0"), qPrintable(seen[0]));
    w->show();
    QVERIFY(w->isVisible());
    QVERIFY(w->mnuOpenDxf->isEnabled());
  }

  void theHelpMenu() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    w->mnuHelpContents->trigger();
    QCOMPARE(f.messages.size(), size_t{1});
    QVERIFY(f.messages[0].Text.find("Tarnak.hlp") != std::string::npos);

    bool aboutShown = false;
    QTimer::singleShot(0, w->frmAbout1, [&] {
      aboutShown = w->frmAbout1->isVisible();
      w->frmAbout1->cmdOK->click();
    });
    w->mnuAbout->trigger();
    QVERIFY(aboutShown);
    QVERIFY(w->frmAbout1->lblTitle->text().contains("Tarnak 2000"));
    QVERIFY(!w->frmAbout1->isVisible());
  }
};

QTEST_MAIN(StartupTest)
#include "startup_test.moc"
