// The main window's construction: menus, tool bar, status bar, the dialogs
// created at start-up, the shared enabling operations and the window's own
// events (showing, closing, resizing, Escape).
#include "main_window.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>
#include <exception>

#include "about.h"
#include "dialogs/options_dialog.h"
#include "dialogs/overwrite_dialog.h"
#include "dialogs/post_dialog.h"
#include "dialogs/prototype_dialog.h"
#include "dialogs/stl_move_dialog.h"
#include "dialogs/strategy_dialogs.h"
#include "edit_windows.h"
#include "editor/editor_forms.h"
#include "order_window.h"
#include "text_window.h"
#include "post/post_definition.h"
#include "post/posts_file.h"
#include "qt_user_interface.h"
#include "selection/region_selection.h"
#include "base/options.h"
#include "base/settings_folder.h"
#include "status_bar.h"
#include "toolbar_icons.h"
#include "toolpaths/machining_params.h"
#include "toolpaths/presets.h"
#include "toolpaths/toolpath_model.h"
#include "view/vector_display.h"

namespace tarnak::gui {

StartupFolders StartupFolders::ForThisProgram() {
  StartupFolders f;
  const std::filesystem::path exe = ExecutablePath();
  f.Settings = SettingsFolder(exe);
  f.Data = ShippedDataFolder(exe);
  f.Program = exe.empty() ? std::filesystem::current_path() : exe.parent_path();
  return f;
}

// ---------------------------------------------------------------- creation

TfrmTarnak::TfrmTarnak(const StartupFolders& folders, QWidget* parent)
    : QMainWindow(parent), folders_(folders) {
  setObjectName("TfrmTarnak");
  setWindowTitle(kApplicationTitle);
  setMinimumSize(565, 250);

  sbrBar = new TStatusBar(this);
  setStatusBar(sbrBar);
  ui_ = std::make_unique<QtUserInterface>(this, sbrBar);
  doc_ = std::make_unique<Document>(*ui_);

  CreateView();
  CreateMenus();
  CreatePopupMenus();
  CreateToolBar();
  ConnectView();
  CreateEditor();
  // Key preview: the window sees Escape before the control that has focus.
  qApp->installEventFilter(this);

  FormCreate();
  CreateForms();
  CreateComforts();
}

TfrmTarnak::~TfrmTarnak() {
  qApp->removeEventFilter(this);
  // The forms and the view keep a reference to the document; they go
  // before it does.
  delete frmContour;
  delete frmPocket;
  delete frmPCB;
  delete frmDrill;
  delete frmOrder;
  delete frmText1;
  delete frmMove1;
  delete frmAddDepths;
  delete frmAddWalls;
  delete frmOptions;
  delete frmPost;
  delete frmStl;
  delete frmSTLMove;
  delete frmOverWrite;
  delete frmAbout1;
  delete Draw3D;
  Draw3D = nullptr;
}

void TfrmTarnak::CreateForms() {
  if (frmOrder) return;  // once
  const std::filesystem::path& settings = folders_.Settings;
  frmContour = new TfrmContour(*doc_, settings, this);
  frmPocket = new TfrmPocket(*doc_, settings, this);
  CreateStlForms();
  frmPCB = new TfrmPCB(*doc_, settings, this);
  frmDrill = new TfrmDrill(*doc_, settings, this);
  frmPost = new TfrmPost(*doc_, settings, this);
  frmText1 = new TfrmText1(*doc_, this);
  connect(frmText1, &TfrmText1::textAdded, this, &TfrmTarnak::TextAdded);
  connect(frmText1, &TfrmText1::previewChanged, Draw3D, &TVectorDisplay3D::SetTextPreview);
  frmOrder = new TfrmOrder(*doc_, this);
  CreateEditWindows();
  frmOptions = new TfrmOptions(*doc_, settings, DialogServices::Standard(), this);
  // Colours and display switches take effect at once.
  connect(frmOptions, &TfrmOptions::optionsChanged, this, &TfrmTarnak::DrawGeometry);
  frmOverWrite = new TfrmOverWrite(this);
  frmAbout1 = new TfrmAbout1(this);
  for (QWidget* form :
       std::initializer_list<QWidget*>{frmContour, frmPocket, frmPCB, frmDrill, frmPost, frmOrder,
                                       frmText1, frmOptions, frmOverWrite, frmAbout1})
    form->hide();
}

void TfrmTarnak::FormCreate() {
  helpFile_ = folders_.Program / "Tarnak.hlp";
  sbrBar->SetPanelWidths(width());
  // The view paints its background in the options' colour, white unless
  // the user chose another.
  ViewSetDirections(false);
  SetItemEnabled(mnuClose, false);
  SetSaveCommands(false);

  if (!folders_.Settings.empty()) LoadOptions(doc_->Options, OptionsFilePath(folders_.Settings), *ui_);
  SetToolColours(doc_->MachiningParams, static_cast<int32_t>(doc_->Options.View.RTool),
                 static_cast<int32_t>(doc_->Options.View.FTool));

  CreatePostDefinition(doc_->PostDefinition);
  if (!folders_.Settings.empty()) {
    try {
      EnsurePostsFile(folders_.Settings, folders_.Data);
      // Starting presets for the strategy dialogs, made before them.
      EnsureSettingsFile(folders_.Settings, folders_.Data, kPresetFileName);
    } catch (const std::exception& e) {
      ui_->Message(e.what(), kApplicationTitle, MsgButtons::Ok, MsgIcon::Warning);
    }
    // A post that is not found leaves the start values in place; the
    // program runs with them until another post is chosen.
    try {
      postLoaded_ = LoadPostDefinition(doc_->PostDefinition, doc_->Options.Program.Post,
                                       folders_.Settings / std::string(kPostsFileName));
    } catch (const std::exception& e) {
      ui_->Message(e.what(), kApplicationTitle, MsgButtons::Ok, MsgIcon::Warning);
    }
  }

  ToolPathIcons(false);
  ViewIcons(0);
  SetMenuEnabled(mnuView, false);
  SetMenuEnabled(mnuEdit, false);
  SetSelectMenu(false);
  SetShowSelected(false);
  SetItemEnabled(mnuViewToolPaths, false);
  ToolButton15->setEnabled(false);
  Set2DMode();
  SetStatus("Ready...");
  setWindowState(windowState() | Qt::WindowMaximized);
}

void TfrmTarnak::FormShow() {
  mnuViewToolPathsClick();
  mnuViewAllClick();
}

QAction* TfrmTarnak::Item(QMenu* menu, const char* name, const QString& caption, Handler handler,
                          bool built) {
  auto* item = new QAction(caption, this);
  item->setObjectName(name);
  item->setProperty("handler", QString(name) + "Click");
  // The guard: nothing starts while a long command runs.
  connect(item, &QAction::triggered, this, [this, handler] {
    if (!running_) (this->*handler)();
  });
  if (menu) menu->addAction(item);
  if (!built) {
    notBuilt_.push_back(item);
    item->setEnabled(false);
  }
  return item;
}

void TfrmTarnak::CreateMenus() {
  using T = TfrmTarnak;
  QMenuBar* bar = menuBar();

  mnuFile = bar->addMenu("ファイル(&F)");
  mnuFile->setObjectName("mnuFile");
  mnuOpenDnc = Item(mnuFile, "mnuOpenDnc", "NCファイルを開く(&N)", &T::mnuOpenDncClick);
  mnuOpenDxf = Item(mnuFile, "mnuOpenDxf", "DXF,STLファイルを開く(&O)", &T::mnuOpenDxfClick);
  OpenGerber1 = Item(mnuFile, "OpenGerber1", "ガーバーファイルを開く(&G)", &T::OpenGerber1Click, false);
  OpenGerber1->setVisible(false);
  mnu3D = Item(mnuFile, "mnu3D", "&3Dエディタ", &T::mnu3DClick);
  Add1 = Item(mnuFile, "Add1", "テキストの追加(&T)", &T::Add1Click);
  mnuFile->addSeparator();
  mnuSaveToolpaths =
      Item(mnuFile, "mnuSaveToolpaths", "CNCツールパスを保存(&S)", &T::mnuSaveToolpathsClick);
  mnuSaveToolToDxf = Item(mnuFile, "mnuSaveToolToDxf", "DXFツールパスを保存(&T)",
                          &T::mnuSaveToolToDxfClick);
  SaveGeometryDXF1 = Item(mnuFile, "SaveGeometryDXF1", "DXFジオメトリを保存(&G)",
                          &T::SaveGeometryDXF1Click);
  SaveGeometryDXF1->setEnabled(false);  // until a drawing is open
  mnuFile->addSeparator();
  mnuClose = Item(mnuFile, "mnuClose", "閉じる(&C)", &T::mnuCloseClick);
  mnuExit = Item(mnuFile, "mnuExit", "終了(&E)", &T::mnuExitClick);

  mnuEdit = bar->addMenu("編集(&E)");
  mnuEdit->setObjectName("mnuEdit");
  mnuDeleteOpens = Item(mnuEdit, "mnuDeleteOpens", "図形の削除(&S)", &T::mnuDeleteOpensClick);
  mnuReverseDirLoop =
      Item(mnuEdit, "mnuReverseDirLoop", "切削方向の反転(&D)", &T::mnuReverseDirLoopClick);
  mnuChangeFirstEntity = Item(mnuEdit, "mnuChangeFirstEntity", "加工開始点指定(&C)",
                              &T::mnuChangeFirstEntityClick);
  SetMachiningOrder1 =
      Item(mnuEdit, "SetMachiningOrder1", "加工順設定(&M)", &T::SetMachiningOrder1Click);
  mnuExplode = Item(mnuEdit, "mnuExplode", "ラインの分解(&E)", &T::mnuExplodeClick);
  mnuJoin = Item(mnuEdit, "mnuJoin", "ラインの結合(&J)", &T::mnuJoinClick);
  CombineSelectedRegions1 = Item(mnuEdit, "CombineSelectedRegions1", "ラインの融合(&b)",
                                 &T::CombineSelectedRegions1Click);
  AddDepths1 = Item(mnuEdit, "AddDepths1", "深さの変更(&n)", &T::AddDepths1Click);
  AddWalls1 = Item(mnuEdit, "AddWalls1", "断面選択加工(&A)", &T::AddWalls1Click);
  ScaleSelected1 = Item(mnuEdit, "ScaleSelected1", "図形編集(&v)", &T::ScaleSelected1Click);

  mnuSTLEdit = bar->addMenu("編集(&E)");
  mnuSTLEdit->setObjectName("mnuSTLEdit");
  MoveScaleandRotate1 = Item(mnuSTLEdit, "MoveScaleandRotate1", "図形編集(&M)",
                             &T::MoveScaleandRotate1Click);
  mnuFlipModel = Item(mnuSTLEdit, "mnuFlipModel", "&Flip Model", &T::mnuFlipModelClick);
  mnuSTLEdit->menuAction()->setVisible(false);

  mnuSetup = bar->addMenu("設定(&S)");
  mnuSetup->setObjectName("mnuSetup");
  mnuOptions = Item(mnuSetup, "mnuOptions", "オプション(&O)", &T::mnuOptionsClick);
  EditPostProcessor1 = Item(mnuSetup, "EditPostProcessor1", "ポストプロセッサーの設定",
                            &T::EditPostProcessor1Click);

  mnuView = bar->addMenu("表示(&V)");
  mnuView->setObjectName("mnuView");
  mnuZoomPrev = Item(mnuView, "mnuZoomPrev", "前の表示(&P)", &T::mnuZoomPrevClick);
  mnuZoomIn = Item(mnuView, "mnuZoomIn", "拡大(&I)", &T::mnuZoomInClick);
  mnuZoomOut = Item(mnuView, "mnuZoomOut", "縮小(&O)", &T::mnuZoomOutClick);
  mnuZoomWindow = Item(mnuView, "mnuZoomWindow", "窓で拡大(&W)", &T::mnuZoomWindowClick);
  mnuZoomAll = Item(mnuView, "mnuZoomAll", "全体表示(&A)", &T::mnuZoomAllClick);
  mnuZoomSelected = Item(mnuView, "mnuZoomSelected", "選択図形の拡大(&Z)", &T::mnuZoomSelectedClick);
  mnuView->addSeparator();
  N2DView1 = Item(mnuView, "N2DView1", "3D 表示", &T::N2DView1Click);
  N2DView1->setCheckable(true);
  mnuRedraw = Item(mnuView, "mnuRedraw", "再描画(&R)", &T::mnuRedrawClick);
  mnuShowDirs = Item(mnuView, "mnuShowDirs", "方向表示(&D)", &T::mnuShowDirsClick);
  mnuShowDirs->setCheckable(true);
  mnuInfo = Item(mnuView, "mnuInfo", "情報表示(&N)", &T::mnuInfoClick);
  mnuInfo->setCheckable(true);
  mnuView->addSeparator();
  mnuViewAll = Item(mnuView, "mnuViewAll", "全図形(&L)", &T::mnuViewAllClick);
  mnuViewSelected = Item(mnuView, "mnuViewSelected", "選択図形(&E)", &T::mnuViewSelectedClick);
  mnuViewToolPaths = Item(mnuView, "mnuViewToolPaths", "ツールパス(&T)", &T::mnuViewToolPathsClick);
  viewModeGroup_ = new QActionGroup(this);
  for (QAction* a : {mnuViewAll, mnuViewSelected, mnuViewToolPaths}) {
    a->setCheckable(true);
    viewModeGroup_->addAction(a);
  }
  mnuView->addSeparator();
  mnuToolBar = Item(mnuView, "mnuToolBar", "ツールバー(&B)", &T::mnuToolBarClick);
  mnuToolBar->setCheckable(true);
  mnuToolBar->setChecked(true);

  mnuSelect1 = bar->addMenu("選択(&S)");
  mnuSelect1->setObjectName("mnuSelect1");
  mnuAutoAll = Item(mnuSelect1, "mnuAutoAll", "すべて選択(&A)", &T::mnuAutoAllClick);
  mnuAutoAllOpen = Item(mnuSelect1, "mnuAutoAllOpen", "開いた輪郭をすべて選択(&O)",
                        &T::mnuAutoAllOpenClick);
  mnuAutoAllClosed = Item(mnuSelect1, "mnuAutoAllClosed", "閉じた輪郭をすべて選択(&C)",
                          &T::mnuAutoAllClosedClick);
  AllasIsl1 = Item(mnuSelect1, "AllasIsl1", "すべてをアイランドとして選択(基板)(&I)",
                   &T::AllasIsl1Click);
  mnuAutoWindow = Item(mnuSelect1, "mnuAutoWindow", "窓で選択(&W)", &T::mnuAutoWindowClick);
  mnuAutoRegion = Item(mnuSelect1, "mnuAutoRegion", "領域で選択(&R)", &T::mnuAutoRegionClick);
  mnuAutoSingle = Item(mnuSelect1, "mnuAutoSingle", "単一選択(&S)", &T::mnuAutoSingleClick);
  mnuAutoEmptyCircles =
      Item(mnuSelect1, "mnuAutoEmptyCircles", "空の円を選択(&E)", &T::mnuAutoEmptyCirclesClick);
  mnuSelect1->addSeparator();
  mnuAddBoundary = Item(mnuSelect1, "mnuAddBoundary", "境界の追加(&B)", &T::mnuAddBoundaryClick);
  mnuAddIsland = Item(mnuSelect1, "mnuAddIsland", "アイランドの追加(&L)", &T::mnuAddIslandClick);
  mnuSelect1->addSeparator();
  mnuDeselectAll = Item(mnuSelect1, "mnuDeselectAll", "すべて選択解除(&D)", &T::mnuDeselectAllClick);
  mnuDeselectAllOpen = Item(mnuSelect1, "mnuDeselectAllOpen", "開いた輪郭の選択解除(&P)",
                            &T::mnuDeselectAllOpenClick);
  mnuDeselectAllClosed = Item(mnuSelect1, "mnuDeselectAllClosed", "閉じた輪郭の選択解除(&T)",
                              &T::mnuDeselectAllClosedClick);
  mnuDeselectWindow =
      Item(mnuSelect1, "mnuDeselectWindow", "窓で選択解除(&N)", &T::mnuDeselectWindowClick);
  mnuDeselectRegion =
      Item(mnuSelect1, "mnuDeselectRegion", "領域で選択解除(&G)", &T::mnuDeselectRegionClick);
  mnuDeselectSingle =
      Item(mnuSelect1, "mnuDeselectSingle", "単一選択解除(&U)", &T::mnuDeselectSingleClick);
  mnuDeselectEmptyCircles = Item(mnuSelect1, "mnuDeselectEmptyCircles", "空の円の選択解除(&M)",
                                 &T::mnuDeselectEmptyCirclesClick);
  mnuSelect1->addSeparator();
  mnuCancel = Item(mnuSelect1, "mnuCancel", "キャンセル(&X)", &T::mnuCancelClick);

  mnuToolPaths = bar->addMenu("ツールパス(&T)");
  mnuToolPaths->setObjectName("mnuToolPaths");
  mnuPocket = Item(mnuToolPaths, "mnuPocket", "ポケット加工(&P)", &T::mnuPocketClick);
  mnuContour = Item(mnuToolPaths, "mnuContour", "輪郭加工(&C)", &T::mnuContourClick);
  mnuDrill = Item(mnuToolPaths, "mnuDrill", "ドリル加工(&D)", &T::mnuDrillClick);
  mnuPCB = Item(mnuToolPaths, "mnuPCB", "基板加工(&B)", &T::mnuPCBClick);
  mnuPrototype = Item(mnuToolPaths, "mnuPrototype", "3D試作加工(&R)", &T::mnuPrototypeClick);

  mnuHelp = bar->addMenu("ヘルプ(&H)");
  mnuHelp->setObjectName("mnuHelp");
  mnuHelpContents = Item(mnuHelp, "mnuHelpContents", "目次(&C)", &T::mnuHelpContentsClick);
  mnuAbout = Item(mnuHelp, "mnuAbout", "バージョン情報(&A)", &T::mnuAboutClick);
}

void TfrmTarnak::CreatePopupMenus() {
  using T = TfrmTarnak;
  PopupMenu2 = new QMenu(this);
  PopupMenu2->setObjectName("PopupMenu2");
  struct Twin {
    QAction*& item;
    const char* name;
    QAction* main;
    Handler handler;
  };
  const Twin twins[] = {
      {SelectAll1, "SelectAll1", mnuAutoAll, &T::SelectAll1Click},
      {SelectAllOpen1, "SelectAllOpen1", mnuAutoAllOpen, &T::SelectAllOpen1Click},
      {SelectAllClosed1, "SelectAllClosed1", mnuAutoAllClosed, &T::SelectAllClosed1Click},
      {AllasIslandsPCB1, "AllasIslandsPCB1", AllasIsl1, &T::AllasIslandsPCB1Click},
      {SelectWindow1, "SelectWindow1", mnuAutoWindow, &T::SelectWindow1Click},
      {SelectRegion1, "SelectRegion1", mnuAutoRegion, &T::SelectRegion1Click},
      {SelectSingle1, "SelectSingle1", mnuAutoSingle, &T::SelectSingle1Click},
      {SelectEmptyCircles1, "SelectEmptyCircles1", mnuAutoEmptyCircles,
       &T::SelectEmptyCircles1Click},
      {SingleBoundary1, "SingleBoundary1", mnuAddBoundary, &T::SingleBoundary1Click},
      {SingleIsland1, "SingleIsland1", mnuAddIsland, &T::SingleIsland1Click},
      {DeSelectAll1, "DeSelectAll1", mnuDeselectAll, &T::DeSelectAll1Click},
      {DeSelectOpen1, "DeSelectOpen1", mnuDeselectAllOpen, &T::DeSelectOpen1Click},
      {DeSelectClosed1, "DeSelectClosed1", mnuDeselectAllClosed, &T::DeSelectClosed1Click},
      {DeSelectWindow1, "DeSelectWindow1", mnuDeselectWindow, &T::DeSelectWindow1Click},
      {DeSelectRegion1, "DeSelectRegion1", mnuDeselectRegion, &T::DeSelectRegion1Click},
      {DeSelectSingle1, "DeSelectSingle1", mnuDeselectSingle, &T::DeSelectSingle1Click},
      {DeSelectEmptyCircles1, "DeSelectEmptyCircles1", mnuDeselectEmptyCircles,
       &T::DeSelectEmptyCircles1Click},
      {Cancel1, "Cancel1", mnuCancel, &T::Cancel1Click},
  };
  for (const Twin& t : twins) {
    if (t.main == mnuAddBoundary || t.main == mnuDeselectAll || t.main == mnuCancel)
      PopupMenu2->addSeparator();
    t.item = Item(PopupMenu2, t.name, t.main->text(), t.handler);
  }

  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName("PopupMenu1");
  Undo1 = Item(PopupMenu1, "Undo1", "元に戻す(&U)", &T::Undo1Click);
  PopupMenu1->addSeparator();
  Font1 = Item(PopupMenu1, "Font1", "フォント(&F)", &T::Font1Click);
  Search1 = Item(PopupMenu1, "Search1", "検索と置換(&S)", &T::Search1Click);
  SelectAll2 = Item(PopupMenu1, "SelectAll2", "すべて選択(&A)", &T::SelectAll2Click);
  PopupMenu1->addSeparator();
  Renumber1 = Item(PopupMenu1, "Renumber1", "Renum&ber", &T::Renumber1Click);
  SyntaxColored1 = Item(PopupMenu1, "SyntaxColored1", "Show S&yntax", &T::SyntaxColored1Click);
  SyntaxColored1->setCheckable(true);
  SyntaxColored1->setChecked(true);
}

QToolButton* TfrmTarnak::Button(const char* name, QAction* action, const QIcon& icon,
                                bool followAction) {
  auto* button = new QToolButton(ToolBar1);
  button->setObjectName(name);
  button->setIcon(icon);
  button->setAutoRaise(true);
  button->setToolTip(QString(action->text()).remove('&'));
  // A button behaves exactly like its menu item: it triggers it.
  connect(button, &QToolButton::clicked, action, [action] { action->trigger(); });
  if (followAction) {
    button->setEnabled(action->isEnabled());
    connect(action, &QAction::enabledChanged, button, &QWidget::setEnabled);
  }
  ToolBar1->addWidget(button);
  return button;
}

void TfrmTarnak::CreateToolBar() {
  ToolBar1 = new QToolBar(this);
  ToolBar1->setObjectName("ToolBar1");
  ToolBar1->setMovable(false);
  ToolBar1->setFloatable(false);
  ToolBar1->setIconSize(QSize(24, 24));
  ToolBar1->toggleViewAction()->setVisible(false);
  addToolBar(Qt::TopToolBarArea, ToolBar1);

  ToolButton1 = Button("ToolButton1", mnuOpenDxf, ToolIcon(ToolGlyph::OpenDrawing), true);
  ToolButton2 = Button("ToolButton2", mnuOpenDnc, ToolIcon(ToolGlyph::OpenNc), true);
  ToolButton3 = Button("ToolButton3", mnuSaveToolpaths, ToolIcon(ToolGlyph::SaveNc), false);
  ToolButton4 = Button("ToolButton4", mnuSaveToolToDxf, ToolIcon(ToolGlyph::SaveDxf), false);
  ToolBar1->addSeparator();
  ToolButton5 = Button("ToolButton5", mnuZoomPrev, ToolIcon(ToolGlyph::ZoomPrevious), true);
  ToolButton6 = Button("ToolButton6", mnuZoomIn, ToolIcon(ToolGlyph::ZoomIn), true);
  ToolButton7 = Button("ToolButton7", mnuZoomOut, ToolIcon(ToolGlyph::ZoomOut), true);
  ToolButton8 = Button("ToolButton8", mnuZoomWindow, ToolIcon(ToolGlyph::ZoomWindow), true);
  ToolButton9 = Button("ToolButton9", mnuZoomAll, ToolIcon(ToolGlyph::ZoomAll), true);
  ToolButton10 = Button("ToolButton10", mnuZoomSelected, ToolIcon(ToolGlyph::ZoomSelected), true);
  ToolBar1->addSeparator();
  ToolButton11 = Button("ToolButton11", N2DView1, ToolIcon(ToolGlyph::View3D), true);
  ToolButton11->setCheckable(true);
  ToolButton11->setToolTip("3D");
  ToolBar1->addSeparator();
  ToolButton13 = Button("ToolButton13", mnuViewAll, ToolIcon(ToolGlyph::ViewAll), true);
  ToolButton14 = Button("ToolButton14", mnuViewSelected, ToolIcon(ToolGlyph::ViewSelected), false);
  ToolButton15 =
      Button("ToolButton15", mnuViewToolPaths, ToolIcon(ToolGlyph::ViewToolpaths), false);
  ToolBar1->addSeparator();
  ToolButton16 = Button("ToolButton16", mnuContour, ToolIcon(ToolGlyph::Contour), false);
  ToolButton17 = Button("ToolButton17", mnuPocket, ToolIcon(ToolGlyph::Pocket), false);
  ToolButton18 = Button("ToolButton18", mnuDrill, ToolIcon(ToolGlyph::Drill), false);
  ToolButton19 = Button("ToolButton19", mnuPCB, ToolIcon(ToolGlyph::CircuitBoard), false);
  ToolButton20 = Button("ToolButton20", mnuPrototype, ToolIcon(ToolGlyph::Prototype), false);
  ToolButton4->setEnabled(false);
}

// ---------------------------------------------------------------- enabling

void TfrmTarnak::SetItemEnabled(QAction* item, bool on) {
  const bool built = std::find(notBuilt_.begin(), notBuilt_.end(), item) == notBuilt_.end();
  item->setEnabled(on && built);
}

// Through the menu widget, not its menu-bar entry: the widget keeps the
// state across the menu bar being switched off and on during a command,
// and passes it on to the entry.
void TfrmTarnak::SetMenuEnabled(QMenu* menu, bool on) { menu->setEnabled(on); }

void TfrmTarnak::SetSelectMenu(bool on) { SetMenuEnabled(mnuSelect1, on); }

void TfrmTarnak::SetShowSelected(bool on) {
  SetItemEnabled(mnuViewSelected, on);
  ToolButton14->setEnabled(on);
}

void TfrmTarnak::SetSaveCommands(bool on) {
  SetItemEnabled(mnuSaveToolpaths, on);
  ToolButton3->setEnabled(mnuSaveToolpaths->isEnabled());
  SetItemEnabled(mnuSaveToolToDxf, on && !doc_->StlMode);
  ToolButton4->setEnabled(mnuSaveToolToDxf->isEnabled());
}

void TfrmTarnak::SyncViewModeChecks() {
  mnuViewAll->setChecked(doc_->ViewMode == 0);
  mnuViewSelected->setChecked(doc_->ViewMode == 1);
  mnuViewToolPaths->setChecked(doc_->ViewMode == 3);
}

void TfrmTarnak::SetStatus(const QString& text) { sbrBar->SetPanelText(0, text); }

void TfrmTarnak::SetStatus2(const QString& text) { sbrBar->SetPanelText(2, text); }

void TfrmTarnak::Set2DMode() {
  is3D_ = false;
  ViewSet3D(false);
  N2DView1->setChecked(false);
  N2DView1->setText("3D 表示");
  ToolButton11->setChecked(false);
  sbrBar->SetPanelText(1, "2D");
}

void TfrmTarnak::Set3DMode() {
  is3D_ = true;
  ViewSet3D(true);
  N2DView1->setChecked(true);
  N2DView1->setText("2D 表示");
  ToolButton11->setChecked(true);
  sbrBar->SetPanelText(1, "3D");
}

void TfrmTarnak::ViewIcons(int mode) {
  const bool any = mode != 0;
  const bool flat = mode == 1;
  for (QAction* item : {mnuZoomPrev, mnuZoomIn, mnuZoomOut, mnuZoomWindow, mnuZoomAll, N2DView1,
                        mnuRedraw, mnuViewAll})
    SetItemEnabled(item, any);
  for (QAction* item : {mnuZoomSelected, mnuShowDirs, mnuInfo}) SetItemEnabled(item, flat);
  if (any) SetMenuEnabled(mnuView, true);
}

void TfrmTarnak::ToolPathIcons(bool on) {
  SetMenuEnabled(mnuToolPaths, on);
  const bool stl = doc_->StlMode;
  auto built = [this](QAction* a) {
    return std::find(notBuilt_.begin(), notBuilt_.end(), a) == notBuilt_.end();
  };
  ToolButton16->setEnabled(on && !stl && built(mnuContour));
  ToolButton17->setEnabled(on && !stl && built(mnuPocket));
  ToolButton18->setEnabled(on && !stl && built(mnuDrill));
  ToolButton19->setEnabled(on && !stl && built(mnuPCB));
  ToolButton20->setEnabled(on && stl && built(mnuPrototype));
  // The menu follows the buttons: a model is cut only by the prototype
  // command, a drawing by every command but it.
  for (QAction* item : {mnuPocket, mnuContour, mnuDrill, mnuPCB}) SetItemEnabled(item, !stl);
  SetItemEnabled(mnuPrototype, stl);
}

bool TfrmTarnak::CheckForSelected() {
  if (AnyRegionSelected(doc_->Regions)) return true;
  ui_->Message("選択されていません", kApplicationTitle, MsgButtons::Ok, MsgIcon::Warning);
  return false;
}

void TfrmTarnak::CheckForToolpaths(bool reportMissing) {
  if (ToolpathCount(doc_->Toolpaths) == 0 && (!doc_->StlMode || doc_->Toolpaths3D.empty())) {
    SetSaveCommands(false);
    if (reportMissing)
      ui_->Message("Toolpaths not Created.  Check Parameters.", kApplicationTitle, MsgButtons::Ok,
                   MsgIcon::Warning);
    return;
  }
  SetSaveCommands(true);
  SetItemEnabled(mnuViewToolPaths, true);
  ToolButton15->setEnabled(true);
  mnuViewToolPathsClick();
}

void TfrmTarnak::DrawGeometry() {
  if (doc_->Busy) return;
  ViewRepaint();
}

bool TfrmTarnak::ContextMenuAllowed() const {
  return popupEnabled_ && !running_ && !editorShown_ && !doc_->StlMode && doc_->ViewMode == 0 &&
         doc_->Regions.size() > 1;
}

// ---------------------------------------------------------------- long commands

TfrmTarnak::CommandScope::CommandScope(TfrmTarnak& window, bool waitCursor)
    : window_(window), started_(window.BeginCommand()), wait_(waitCursor && started_) {
  if (wait_) QApplication::setOverrideCursor(Qt::WaitCursor);
}

TfrmTarnak::CommandScope::~CommandScope() {
  if (wait_) QApplication::restoreOverrideCursor();
  if (started_) window_.EndCommand();
}

bool TfrmTarnak::BeginCommand() {
  if (running_) return false;
  running_ = true;
  menuBar()->setEnabled(false);
  ToolBar1->setEnabled(false);
  return true;
}

void TfrmTarnak::EndCommand() {
  running_ = false;
  menuBar()->setEnabled(true);
  ToolBar1->setEnabled(true);
  if (closePending_) {
    closePending_ = false;
    QTimer::singleShot(0, this, &QWidget::close);
  }
}

// ---------------------------------------------------------------- events

void TfrmTarnak::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!shownOnce_) {
    shownOnce_ = true;
    FormShow();
  }
}

void TfrmTarnak::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  sbrBar->SetPanelWidths(width());
}

void TfrmTarnak::closeEvent(QCloseEvent* event) {
  if (running_) {
    // Closing in the middle of a command would pull the document from under
    // it: stop the command and close once it has returned.
    doc_->RequestAbort();
    closePending_ = true;
    event->ignore();
    return;
  }
  const bool unsaved = ToolpathCount(doc_->Toolpaths) > 0 || !doc_->Toolpaths3D.empty();
  if (mnuSaveToolpaths->isEnabled() && unsaved) {
    const MsgResult answer = ui_->Message("Save toolpaths before exiting?", kApplicationTitle,
                                          MsgButtons::YesNoCancel, MsgIcon::Question);
    if (answer == MsgResult::Cancel) {
      event->ignore();
      return;
    }
    // A save that was cancelled or failed keeps the window open, so the
    // toolpaths are not lost without the user knowing.
    if (answer == MsgResult::Yes && !SaveNcProgram()) {
      event->ignore();
      return;
    }
  }
  FreePostDefinition(doc_->PostDefinition);
  if (frmOrder) frmOrder->hide();
  if (frmText1) frmText1->hide();
  // The editor's tool windows go with the window too.
  for (QWidget* form : std::initializer_list<QWidget*>{frmEdit, frmReNumber, ReplaceDialog1})
    if (form) form->hide();
  event->accept();
}

bool TfrmTarnak::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
    auto* widget = static_cast<QWidget*>(watched);
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Escape && widget->window() == this) {
      FormKeyPress(QChar(27));
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void TfrmTarnak::FormKeyPress(QChar key) {
  if (key != QChar(27)) return;
  // Stops the running loop at its next look at the events, and forgets a
  // pending pick; placing text also hides its window.
  const int mode = static_cast<int>(doc_->PickMode);
  if (frmText1 && mode >= kPickTextByPoint && mode <= 349) frmText1->hide();
  doc_->RequestAbort();
}

}  // namespace tarnak::gui
