// The main window's menus, context menus and tool bar: every item under its
// own name with its caption and handler, what a fresh window enables, and
// the items whose features this version does not have.
#include <QMenu>
#include <QMenuBar>
#include <QMetaMethod>
#include <QToolBar>
#include <QToolButton>

#include "window_fixture.h"

using namespace tarnak;
using namespace tarnak::gui;
using namespace tarnak::gui::testing;

namespace {

struct ItemRow {
  const char* menu;
  const char* name;
  const char* caption;  // nullptr: the program's own caption, not checked here
  bool built;
};

// The items whose captions the program must carry exactly.
const ItemRow kItems[] = {
    {"mnuFile", "mnuOpenDnc", "NCファイルを開く(&N)", true},
    {"mnuFile", "mnuOpenDxf", "DXF,STLファイルを開く(&O)", true},
    {"mnuFile", "OpenGerber1", "ガーバーファイルを開く(&G)", false},
    {"mnuFile", "mnu3D", "&3Dエディタ", true},
    {"mnuFile", "Add1", "テキストの追加(&T)", true},
    {"mnuFile", "mnuSaveToolpaths", "CNCツールパスを保存(&S)", true},
    {"mnuFile", "mnuSaveToolToDxf", "DXFツールパスを保存(&T)", true},
    {"mnuFile", "SaveGeometryDXF1", "DXFジオメトリを保存(&G)", true},
    {"mnuFile", "mnuClose", "閉じる(&C)", true},
    {"mnuFile", "mnuExit", "終了(&E)", true},
    {"mnuEdit", "mnuDeleteOpens", "図形の削除(&S)", true},
    {"mnuEdit", "mnuReverseDirLoop", "切削方向の反転(&D)", true},
    {"mnuEdit", "mnuChangeFirstEntity", "加工開始点指定(&C)", true},
    {"mnuEdit", "SetMachiningOrder1", "加工順設定(&M)", true},
    {"mnuEdit", "mnuExplode", "ラインの分解(&E)", true},
    {"mnuEdit", "mnuJoin", "ラインの結合(&J)", true},
    {"mnuEdit", "CombineSelectedRegions1", "ラインの融合(&b)", true},
    {"mnuEdit", "AddDepths1", "深さの変更(&n)", true},
    {"mnuEdit", "AddWalls1", "断面選択加工(&A)", true},
    {"mnuEdit", "ScaleSelected1", "図形編集(&v)", true},
    {"mnuSTLEdit", "MoveScaleandRotate1", "図形編集(&M)", true},
    {"mnuSTLEdit", "mnuFlipModel", "&Flip Model", true},
    {"mnuSetup", "mnuOptions", "オプション(&O)", true},
    {"mnuSetup", "EditPostProcessor1", "ポストプロセッサーの設定", true},
    {"mnuView", "mnuZoomPrev", nullptr, true},
    {"mnuView", "mnuZoomIn", nullptr, true},
    {"mnuView", "mnuZoomOut", nullptr, true},
    {"mnuView", "mnuZoomWindow", nullptr, true},
    {"mnuView", "mnuZoomAll", nullptr, true},
    {"mnuView", "mnuZoomSelected", nullptr, true},
    {"mnuView", "N2DView1", "3D 表示", true},
    {"mnuView", "mnuRedraw", nullptr, true},
    {"mnuView", "mnuShowDirs", nullptr, true},
    {"mnuView", "mnuInfo", nullptr, true},
    {"mnuView", "mnuViewAll", nullptr, true},
    {"mnuView", "mnuViewSelected", nullptr, true},
    {"mnuView", "mnuViewToolPaths", nullptr, true},
    {"mnuView", "mnuToolBar", nullptr, true},
    {"mnuSelect1", "mnuAutoAll", nullptr, true},
    {"mnuSelect1", "mnuAutoAllOpen", nullptr, true},
    {"mnuSelect1", "mnuAutoAllClosed", nullptr, true},
    {"mnuSelect1", "AllasIsl1", nullptr, true},
    {"mnuSelect1", "mnuAutoWindow", nullptr, true},
    {"mnuSelect1", "mnuAutoRegion", nullptr, true},
    {"mnuSelect1", "mnuAutoSingle", nullptr, true},
    {"mnuSelect1", "mnuAutoEmptyCircles", nullptr, true},
    {"mnuSelect1", "mnuAddBoundary", nullptr, true},
    {"mnuSelect1", "mnuAddIsland", nullptr, true},
    {"mnuSelect1", "mnuDeselectAll", nullptr, true},
    {"mnuSelect1", "mnuDeselectAllOpen", nullptr, true},
    {"mnuSelect1", "mnuDeselectAllClosed", nullptr, true},
    {"mnuSelect1", "mnuDeselectWindow", nullptr, true},
    {"mnuSelect1", "mnuDeselectRegion", nullptr, true},
    {"mnuSelect1", "mnuDeselectSingle", nullptr, true},
    {"mnuSelect1", "mnuDeselectEmptyCircles", nullptr, true},
    {"mnuSelect1", "mnuCancel", nullptr, true},
    {"mnuToolPaths", "mnuPocket", nullptr, true},
    {"mnuToolPaths", "mnuContour", nullptr, true},
    {"mnuToolPaths", "mnuDrill", nullptr, true},
    {"mnuToolPaths", "mnuPCB", nullptr, true},
    {"mnuToolPaths", "mnuPrototype", nullptr, true},
    {"mnuHelp", "mnuHelpContents", nullptr, true},
    {"mnuHelp", "mnuAbout", nullptr, true},
    {"PopupMenu1", "Undo1", nullptr, true},
    {"PopupMenu1", "Font1", nullptr, true},
    {"PopupMenu1", "Search1", nullptr, true},
    {"PopupMenu1", "SelectAll2", nullptr, true},
    {"PopupMenu1", "Renumber1", "Renum&ber", true},
    {"PopupMenu1", "SyntaxColored1", "Show S&yntax", true},
};

// Context-menu twins of the Select menu.
const std::pair<const char*, const char*> kTwins[] = {
    {"SelectAll1", "mnuAutoAll"},
    {"SelectAllOpen1", "mnuAutoAllOpen"},
    {"SelectAllClosed1", "mnuAutoAllClosed"},
    {"AllasIslandsPCB1", "AllasIsl1"},
    {"SelectWindow1", "mnuAutoWindow"},
    {"SelectRegion1", "mnuAutoRegion"},
    {"SelectSingle1", "mnuAutoSingle"},
    {"SelectEmptyCircles1", "mnuAutoEmptyCircles"},
    {"SingleBoundary1", "mnuAddBoundary"},
    {"SingleIsland1", "mnuAddIsland"},
    {"DeSelectAll1", "mnuDeselectAll"},
    {"DeSelectOpen1", "mnuDeselectAllOpen"},
    {"DeSelectClosed1", "mnuDeselectAllClosed"},
    {"DeSelectWindow1", "mnuDeselectWindow"},
    {"DeSelectRegion1", "mnuDeselectRegion"},
    {"DeSelectSingle1", "mnuDeselectSingle"},
    {"DeSelectEmptyCircles1", "mnuDeselectEmptyCircles"},
    {"Cancel1", "mnuCancel"},
};

bool HasSlot(const QObject& o, const QString& name) {
  return o.metaObject()->indexOfSlot(QMetaObject::normalizedSignature(
                                         (name + "()").toLatin1().constData())) >= 0;
}

}  // namespace

class MenusTest : public QObject {
  Q_OBJECT
 private slots:
  void everyItemHasItsNameCaptionAndHandler() {
    WindowFixture f;
    auto w = f.MakeWindow();
    for (const ItemRow& row : kItems) {
      auto* menu = w->findChild<QMenu*>(row.menu);
      QVERIFY2(menu, row.menu);
      auto* item = w->findChild<QAction*>(row.name);
      QVERIFY2(item, row.name);
      QVERIFY2(menu->actions().contains(item), row.name);
      if (row.caption) QCOMPARE(item->text(), QString(row.caption));
      const QString handler = QString(row.name) + "Click";
      QCOMPARE(item->property("handler").toString(), handler);
      QVERIFY2(HasSlot(*w, handler), qPrintable(handler));
    }
  }

  void menusCarryTheirCaptions() {
    WindowFixture f;
    auto w = f.MakeWindow();
    const std::pair<const char*, const char*> menus[] = {
        {"mnuFile", "ファイル(&F)"},   {"mnuEdit", "編集(&E)"},   {"mnuSTLEdit", "編集(&E)"},
        {"mnuSetup", "設定(&S)"},      {"mnuView", "表示(&V)"},   {"mnuSelect1", "選択(&S)"},
        {"mnuToolPaths", "ツールパス(&T)"}};
    for (const auto& [name, caption] : menus) {
      auto* menu = w->findChild<QMenu*>(name);
      QVERIFY2(menu, name);
      QCOMPARE(menu->title(), QString(caption));
      QVERIFY(w->menuBar()->actions().contains(menu->menuAction()));
    }
    // The STL edit menu takes the Edit menu's place only for a model.
    QVERIFY(!w->mnuSTLEdit->menuAction()->isVisible());
    QVERIFY(!w->OpenGerber1->isVisible());
  }

  void featuresNotInThisVersionStayDisabled() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    // Even after a drawing is loaded and something is selected.
    f.Open(*w, f.Write("d.dxf", NestedSquares().Text()));
    w->mnuAutoAll->trigger();
    for (const ItemRow& row : kItems) {
      if (row.built) continue;
      auto* item = w->findChild<QAction*>(row.name);
      QVERIFY2(!item->isEnabled(), row.name);
    }
    QVERIFY(w->ToolButton19->isEnabled());   // circuit board: enabled as the other strategies
    QVERIFY(!w->ToolButton20->isEnabled());  // prototype
    QVERIFY(w->ToolButton2->isEnabled());    // open NC
  }

  void contextMenuTwinsTriggerTheirSelectItems() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    for (const auto& [twinName, mainName] : kTwins) {
      auto* twin = w->findChild<QAction*>(twinName);
      auto* main = w->findChild<QAction*>(mainName);
      QVERIFY2(twin && main, twinName);
      QVERIFY(w->PopupMenu2->actions().contains(twin));
      QCOMPARE(twin->text(), main->text());
      QVERIFY(HasSlot(*w, QString(twinName) + "Click"));
      QSignalSpy spy(main, &QAction::triggered);
      twin->trigger();
      QCOMPARE(spy.count(), 1);
    }
  }

  void aFreshWindowOffersOnlyWhatMakesSense() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    QCOMPARE(w->windowTitle(), QString("Tarnak 2000"));
    QVERIFY(w->minimumWidth() == 565 && w->minimumHeight() == 250);
    QVERIFY(w->windowState() & Qt::WindowMaximized);
    QVERIFY(w->mnuOpenDxf->isEnabled());
    QVERIFY(!w->mnuClose->isEnabled());
    QVERIFY(!w->mnuSaveToolpaths->isEnabled());
    QVERIFY(!w->ToolButton3->isEnabled());
    QVERIFY(!w->mnuView->menuAction()->isEnabled());
    QVERIFY(!w->mnuEdit->menuAction()->isEnabled());
    QVERIFY(!w->mnuSelect1->menuAction()->isEnabled());
    QVERIFY(!w->mnuToolPaths->menuAction()->isEnabled());
    QVERIFY(!w->mnuZoomAll->isEnabled());
    QVERIFY(!w->mnuViewSelected->isEnabled());
    QVERIFY(!w->ToolButton14->isEnabled());
    QVERIFY(!w->ToolButton15->isEnabled());
    for (QToolButton* b : {w->ToolButton16, w->ToolButton17, w->ToolButton18})
      QVERIFY(!b->isEnabled());
    // The first showing leaves the show-all view ticked.
    QVERIFY(w->mnuViewAll->isChecked());
    QCOMPARE(w->doc().ViewMode, 0);
    QCOMPARE(Panel(*w, 1), QString("2D"));
    QCOMPARE(Panel(*w, 0), QString("Ready..."));
  }

  void toolButtonsTriggerTheirMenuItems() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    QCOMPARE(w->ToolButton14->parentWidget(), w->ToolBar1);
    int opened = 0;
    w->OpenFileDialog = [&opened](const QString&) {
      ++opened;
      return QString();
    };
    w->ToolButton1->click();
    QCOMPARE(opened, 1);

    f.Open(*w, f.Write("d.dxf", NestedSquares().Text()));
    w->mnuAutoAllClosed->trigger();
    QVERIFY(w->ToolButton14->isEnabled());
    QSignalSpy spy(w->mnuViewSelected, &QAction::triggered);
    w->ToolButton14->click();
    QCOMPARE(spy.count(), 1);
    QCOMPARE(w->doc().ViewMode, 1);

    // The 2D/3D button follows the mode either way it is switched.
    w->ToolButton11->click();
    QVERIFY(w->Is3DMode());
    QVERIFY(w->ToolButton11->isChecked());
    QCOMPARE(w->N2DView1->text(), QString("2D 表示"));
    QCOMPARE(Panel(*w, 1), QString("3D"));
    w->N2DView1->trigger();
    QVERIFY(!w->Is3DMode());
    QVERIFY(!w->ToolButton11->isChecked());
    QCOMPARE(w->N2DView1->text(), QString("3D 表示"));
    QCOMPARE(Panel(*w, 1), QString("2D"));

    // The tool bar comes and goes with its View menu item.
    w->mnuToolBar->trigger();
    QVERIFY(!w->ToolBar1->isVisible());
    w->mnuToolBar->trigger();
    QVERIFY(w->ToolBar1->isVisible());
  }
};

QTEST_MAIN(MenusTest)
#include "menus_test.moc"
