// The window's comforts: the open file in the title, the recent files and
// their place in "Options.cfg", dropped files, the keyboard shortcuts, the
// manual behind Help, and Qt's own texts in Japanese.
#include <QDialogButtonBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>
#include <map>

#include "base/options.h"
#include "translations.h"
#include "view/vector_display.h"
#include "window_fixture.h"

using namespace tarnak;
using namespace tarnak::gui;
using namespace tarnak::gui::testing;

namespace {

std::vector<std::string> MenuPaths(const TfrmTarnak& w) {
  std::vector<std::string> paths;
  for (QAction* a : w.mnuRecentFiles)
    if (a->isVisible()) paths.push_back(a->data().toString().toStdString());
  return paths;
}

std::string Abs(const QString& path) { return QFileInfo(path).absoluteFilePath().toStdString(); }

// Sends a drag of `path` over the window and drops it; true when the
// window took the drag.
bool DropFile(TfrmTarnak& w, const QString& path) {
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(path)});
  const QPoint at = w.rect().center();
  QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&w, &enter);
  if (!enter.isAccepted()) return false;
  QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&w, &drop);
  return drop.isAccepted();
}

}  // namespace

class ComfortsTest : public QObject {
  Q_OBJECT
 private slots:
  void titleAndRecentFilesFollowTheOpens() {
    WindowFixture f;
    auto w = f.MakeWindow();
    QCOMPARE(w->windowTitle(), QString("Tarnak 2000"));
    QVERIFY(MenuPaths(*w).empty());

    const QString plate = f.Write("plate.dxf", NestedSquares().Text());
    const QString bracket = f.Write("bracket.dxf", NestedSquares().Text());
    f.Open(*w, plate);
    QCOMPARE(w->windowTitle(), QString("plate.dxf - Tarnak 2000"));
    f.Open(*w, bracket);
    QCOMPARE(w->windowTitle(), QString("bracket.dxf - Tarnak 2000"));
    QCOMPARE(MenuPaths(*w), (std::vector<std::string>{Abs(bracket), Abs(plate)}));
    QCOMPARE(w->mnuRecentFiles[0]->text(), QString("&1 bracket.dxf"));

    // A failed open leaves title and list alone.
    f.Open(*w, f.Path("missing.dxf"));
    QCOMPARE(w->windowTitle(), QString("bracket.dxf - Tarnak 2000"));
    QCOMPARE(MenuPaths(*w).size(), std::size_t{2});

    // Choosing a recent file opens it and moves it to the top, once.
    w->mnuRecentFiles[1]->trigger();
    QCOMPARE(w->windowTitle(), QString("plate.dxf - Tarnak 2000"));
    QCOMPARE(MenuPaths(*w), (std::vector<std::string>{Abs(plate), Abs(bracket)}));

    // Eight at most, newest first.
    std::vector<std::string> expected;
    for (int i = 1; i <= 10; ++i) {
      const QString name = QString("part%1.dxf").arg(i);
      f.Open(*w, f.Write(name, NestedSquares().Text()));
      expected.insert(expected.begin(), Abs(f.Path(name)));
    }
    expected.resize(kMaxRecentFiles);
    QCOMPARE(MenuPaths(*w), expected);

    // Close: nothing is open any more.
    w->mnuClose->trigger();
    QCOMPARE(w->windowTitle(), QString("Tarnak 2000"));

    // The next start has the list, and the other options keep their start
    // values, as before any "Options.cfg" was written.
    w.reset();
    auto again = f.MakeWindow();
    QCOMPARE(MenuPaths(*again), expected);
    QVERIFY(again->doc().Options.Program == TTNOptions{});
    QVERIFY(again->doc().Options.View == TTNViewOptions{});

    // The options dialog's save keeps the list; loading gives it back.
    ProgramOptions options = again->doc().Options;
    const std::filesystem::path file = OptionsFilePath(f.folders().Settings);
    SaveOptions(options, "Default", file);
    ProgramOptions reread;
    QVERIFY(LoadOptions(reread, file).empty());
    QCOMPARE(reread.RecentFiles, expected);
    QCOMPARE(reread.Program.Post, std::string("Default"));
  }

  void oldOptionsFilesAndOddListsStillLoad() {
    WindowFixture f;
    // A file from before the list: loads as it always did, with no list.
    f.Write("Options.cfg", "[Options]\nPost=Hobby\nOverlap=40\n");
    ProgramOptions o;
    const std::filesystem::path file = OptionsFilePath(f.folders().Settings);
    QVERIFY(LoadOptions(o, file).empty());
    QCOMPARE(o.Program.Post, std::string("Hobby"));
    QVERIFY(o.RecentFiles.empty());
    // Repeats and empty entries are dropped, the list ends at the first
    // missing number, and nothing past eight is read.
    f.Write("Options.cfg",
            "[Options]\nPost=Hobby\n[RecentFiles]\nFile1=/a.dxf\nFile2=\nFile3=/a.dxf\n"
            "File4=/b.dxf\nFile6=/c.dxf\n");
    QVERIFY(LoadOptions(o, file).empty());
    QCOMPARE(o.RecentFiles, (std::vector<std::string>{"/a.dxf", "/b.dxf"}));
    // Paths the file cannot hold are never recorded.
    QVERIFY(!AddRecentFile(o.RecentFiles, "/x\ny.dxf"));
    QVERIFY(!AddRecentFile(o.RecentFiles, " /lead.dxf"));
    QVERIFY(AddRecentFile(o.RecentFiles, "/b.dxf"));
    QCOMPARE(o.RecentFiles, (std::vector<std::string>{"/b.dxf", "/a.dxf"}));
    // Writing the list removes what the file held beyond it.
    SaveRecentFiles(o, file);
    ProgramOptions reread;
    QVERIFY(LoadOptions(reread, file).empty());
    QCOMPARE(reread.RecentFiles, o.RecentFiles);
    QCOMPARE(reread.Program.Post, std::string("Hobby"));
  }

  void droppedDrawingsOpenThroughTheOpenCommand() {
    WindowFixture f;
    auto w = f.MakeWindow();
    // A file the open command does not take is refused at the door.
    QVERIFY(!DropFile(*w, f.Write("notes.txt", "hello")));
    const QString plate = f.Write("plate.dxf", NestedSquares().Text());
    QVERIFY(DropFile(*w, plate));
    QTRY_COMPARE(w->windowTitle(), QString("plate.dxf - Tarnak 2000"));
    QCOMPARE(w->doc().Regions.size(), std::size_t{5});
    QCOMPARE(MenuPaths(*w), std::vector<std::string>{Abs(plate)});
    // The seam of the open dialog is the caller's again afterwards.
    QVERIFY(!w->OpenFileDialog);
    // A drawing the reader rejects is reported as the menu's open reports it.
    const QString bad = f.Write("bad.dxf", "0\nSECTION\n2\nENTITIES\n0\nLINE\n10\nabc\n");
    const std::size_t before = f.messages.size();
    QVERIFY(DropFile(*w, bad));
    QTRY_VERIFY(f.messages.size() > before);
  }

  void shortcutsAreTheUsualOnesAndUnique() {
    WindowFixture f;
    auto w = f.MakeWindow();
    const std::map<QAction*, QKeySequence> expected = {
        {w->mnuOpenDxf, QKeySequence("Ctrl+O")},   {w->mnuSaveToolpaths, QKeySequence("Ctrl+S")},
        {w->mnuExit, QKeySequence("Ctrl+Q")},      {w->mnuHelpContents, QKeySequence("F1")},
        {w->mnuZoomIn, QKeySequence("+")},         {w->mnuZoomOut, QKeySequence("-")},
        {w->mnuZoomAll, QKeySequence("Home")},
    };
    for (const auto& [action, key] : expected)
      QVERIFY2(action->shortcuts().contains(key), qPrintable(action->objectName()));
    std::map<QString, QString> owner;
    for (QAction* a : w->findChildren<QAction*>()) {
      for (const QKeySequence& k : a->shortcuts()) {
        const QString text = k.toString();
        QVERIFY2(owner.emplace(text, a->objectName()).second,
                 qPrintable(text + " twice: " + owner[text] + ", " + a->objectName()));
      }
    }
    // A key press reaches its item: Home fits the drawing again.
    f.Open(*w, f.Write("plate.dxf", NestedSquares().Text()));
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    w->mnuZoomIn->trigger();
    const double zoomed = w->Draw3D->Scale();
    QTest::keyClick(w->Draw3D, Qt::Key_Home);
    QVERIFY(w->Draw3D->Scale() < zoomed);
  }

  void helpOpensTheManualWithoutTheHelpFile() {
    WindowFixture f;
    auto w = f.MakeWindow();
    QUrl shown;
    w->OpenUrl = [&shown](const QUrl& url) {
      shown = url;
      return true;
    };
    w->mnuHelpContents->trigger();
    QVERIFY2(shown.isLocalFile(), qPrintable(shown.toString()));
    QVERIFY(shown.toLocalFile().endsWith("manual/index.html"));
    QVERIFY(QFileInfo::exists(shown.toLocalFile()));
    QVERIFY(f.messages.empty());
  }

  // Last: the translator stays installed for the rest of the process.
  void qtDialogsSpeakJapanese() {
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!QFileInfo::exists(folder + "/qtbase_ja.qm"))
      QSKIP("Qt's Japanese translations are not installed");
    QVERIFY(InstallQtTranslations(*qApp));
    QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    const QString cancel = box.button(QDialogButtonBox::Cancel)->text();
    QVERIFY2(cancel != "Cancel" && cancel != "&Cancel", qPrintable(cancel));
    QVERIFY2(cancel.contains(QString::fromUtf8("キャンセル")), qPrintable(cancel));
  }
};

QTEST_MAIN(ComfortsTest)
#include "comforts_test.moc"
