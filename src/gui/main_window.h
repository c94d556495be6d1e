// The main window: menus, tool bar, drawing view and status bar around the
// one open document. Every menu item calls a handler named after it
// (mnuOpenDxf -> mnuOpenDxfClick); the handlers call the core's commands and
// then bring the window up to date (enabling, view mode, redraw). No
// machining logic lives here.
//
// Long commands (reading a drawing, island detection, toolpaths, NC output)
// run on this thread and let pending events through at fixed points, so
// that the window repaints and Escape can stop them. While one runs the
// menus and the tool bar are off and every handler refuses to start, so no
// command ever starts inside another.
#pragma once

#include <QFont>
#include <QMainWindow>
#include <QString>
#include <QUrl>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "import/nc/nc_run.h"
#include "shell/save_command.h"
#include "shell/selection_commands.h"
#include "shell/document.h"
#include "shell/strategy_commands.h"

class QAction;
class QActionGroup;
class QDragEnterEvent;
class QDropEvent;
class QMenu;
class QMimeData;
class QToolBar;
class QToolButton;
class QSplitter;
class QsciScintilla;

namespace tarnak::gui {

class QtUserInterface;
class StrategyDialogBase;
class TStatusBar;
class TVectorDisplay3D;
class TfrmAbout1;
class TfrmContour;
class TfrmDrill;
class TfrmOptions;
class TfrmOrder;
class TfrmText1;
class TfrmMove1;
class TfrmAddDepths;
class TfrmAddWalls;
class TfrmOverWrite;
class TfrmPCB;
class TfrmPocket;
class TfrmPost;
class TfrmSTLMove;
class TfrmStl;
class TfrmEdit;
class TfrmReNumber;
class TReplaceDialog;
class GCodeParser;

// Where the settings files live, and the folder of the shipped "Posts.Cfg"
// that is copied there when the settings folder has none.
struct StartupFolders {
  std::filesystem::path Settings;
  std::filesystem::path Data;  // empty: nothing shipped
  std::filesystem::path Program;  // the program's own folder (help file)

  // The folders of the running program (settings folder rules of the core).
  static StartupFolders ForThisProgram();
};

class TfrmTarnak : public QMainWindow {
  Q_OBJECT
 public:
  explicit TfrmTarnak(const StartupFolders& folders = StartupFolders::ForThisProgram(),
                      QWidget* parent = nullptr);
  ~TfrmTarnak() override;

  // Creates the dialogs and tool windows, once, hidden, in the program's
  // start-up order.
  void CreateForms();

  Document& doc() { return *doc_; }
  QtUserInterface& ui() { return *ui_; }
  const StartupFolders& folders() const { return folders_; }
  std::filesystem::path HelpFile() const { return helpFile_; }

  // ---- shared operations of the commands ----
  void SetStatus(const QString& text);   // status panel 0
  void SetStatus2(const QString& text);  // status panel 2
  void Set2DMode();
  void Set3DMode();
  bool Is3DMode() const { return is3D_; }
  // 0 nothing loaded (view and zoom commands off), 1 2D geometry, 3 STL model.
  void ViewIcons(int mode);
  void ToolPathIcons(bool on);
  // False, with the message "選択されていません", when nothing is selected.
  bool CheckForSelected();
  // After a strategy: disables saving when no toolpath was made (with the
  // message when `reportMissing`; the strategies report it themselves),
  // else enables saving and shows the toolpaths.
  void CheckForToolpaths(bool reportMissing = true);
  void DrawGeometry();

  // The open command after its file dialog: reads a DXF drawing, an STL
  // model (OpenStlModel) or a Gerber or drill file with the board readers,
  // as the extension (in any case) or the content says.
  void OpenDrawing(const QString& path);
  void OpenStlModel(const QString& path);
  // The NC save command; true when the file was written.
  bool SaveNcProgram();
  // Opens a file exactly as if the open command's dialog had chosen it, so
  // that every check of that command applies (dropped files, recent files).
  // Does nothing while a command runs or the command is disabled.
  void OpenThroughMenu(const QString& path);
  // Reads an NC program into the editor pane and the view, as the open
  // NC command does after its dialog.
  void OpenNcProgram(const QString& path);
  bool EditorShown() const { return editorShown_; }
  // The editor's text as its bytes (UTF-8).
  std::string EditorText() const;
  // The Run palette's buttons (the palette calls these).
  void RunPaletteStep(NCRunButton button);
  void RunPaletteReload();
  // "保存": true when the editor text was written.
  bool RunPaletteSave();
  const NCRunState& RunState() const { return ncRun_; }
  // The find-and-replace dialog's requests. Find and replace return
  // whether a match was found; replace all returns the replacements made.
  // Nothing found: a beep.
  // The answers to the question asked before a replacement.
  enum class ReplaceAnswer { Yes, No, All, Cancel };
  bool ReplaceDialog1Find();
  bool ReplaceDialog1Replace();
  // From `start` (a byte position) to the end; `ask`: the question before
  // each replacement (the dialog's button), where the answer "All"
  // replaces the rest without asking.
  int ReplaceDialog1ReplaceAll(bool ask = true, long start = 0);
  ReplaceAnswer AskReplace(const QString& found);

  // The user manual's first page: "manual/index.html" beside the program,
  // else the one the build made; empty when there is none.
  std::filesystem::path ManualIndex() const;

  // True while a long command runs.
  bool CommandRunning() const { return running_; }
  // Whether the view's context menu may pop up now.
  bool ContextMenuAllowed() const;

  // ---- the view's mouse, in drawing units ----
  void ViewMouseDown(Point2 p, MouseButton button);
  void ViewMouseUp(const Box& window);
  void ViewMouseMove(Point2 p);

  // ---- seams that replace the common dialogs (tests, scripted use) ----
  // Open dialog: returns the chosen path, empty when cancelled.
  std::function<QString(const QString& qtFilter)> OpenFileDialog;
  // Save dialog: filter, proposed file name and default suffix; returns the
  // chosen path, empty when cancelled.
  std::function<QString(const QString& qtFilter, const QString& proposedName,
                        const QString& defaultSuffix)>
      SaveFileDialog;
  // The overwrite-or-append question; nothing when dismissed.
  std::function<std::optional<ExistingNcFile>(const QString& path)> OverwriteQuestion;
  // The editor's font dialog (fixed-pitch fonts); nothing when cancelled.
  std::function<std::optional<QFont>(const QFont& current)> FontDialog;
  // Shows a page in the desktop's browser; false when that failed.
  std::function<bool(const QUrl& url)> OpenUrl;
  // The question asked before each replacement in the NC editor, with the
  // found text selected: replace it, leave it, replace it and every one
  // after it without asking, or stop.
  std::function<ReplaceAnswer(const QString& found)> ReplacePrompt;
  // The save dialog, or SaveFileDialog when set; `confirmOverwrite` off
  // where the caller asks its own question. Empty when cancelled.
  QString AskSavePath(const QString& filter, const QString& proposed, const QString& suffix,
                      bool confirmOverwrite);

  // ---- windows and controls, named as the program names them ----
  TStatusBar* sbrBar = nullptr;
  QToolBar* ToolBar1 = nullptr;
  TVectorDisplay3D* Draw3D = nullptr;
  QMenu* PopupMenu1 = nullptr;  // NC editor
  QMenu* PopupMenu2 = nullptr;  // drawing view
  QSplitter* Splitter1 = nullptr;  // the view above, the NC editor pane below
  QsciScintilla* edDNC = nullptr;  // the NC editor pane
  GCodeParser* GCodeParser1 = nullptr;  // its colouring
  TfrmEdit* frmEdit = nullptr;          // the Run palette
  TfrmReNumber* frmReNumber = nullptr;
  TReplaceDialog* ReplaceDialog1 = nullptr;

  TfrmContour* frmContour = nullptr;
  TfrmPocket* frmPocket = nullptr;
  TfrmPCB* frmPCB = nullptr;
  TfrmDrill* frmDrill = nullptr;
  TfrmOrder* frmOrder = nullptr;
  TfrmText1* frmText1 = nullptr;
  TfrmMove1* frmMove1 = nullptr;
  TfrmAddDepths* frmAddDepths = nullptr;
  TfrmAddWalls* frmAddWalls = nullptr;
  TfrmOverWrite* frmOverWrite = nullptr;
  TfrmAbout1* frmAbout1 = nullptr;
  TfrmOptions* frmOptions = nullptr;
  TfrmPost* frmPost = nullptr;  // post-processor editor
  TfrmStl* frmStl = nullptr;          // prototype machining
  TfrmSTLMove* frmSTLMove = nullptr;  // move, scale and rotate the model

  QMenu *mnuFile, *mnuEdit, *mnuSTLEdit, *mnuSetup, *mnuView, *mnuSelect1, *mnuToolPaths,
      *mnuHelp;

  // File
  QAction *mnuOpenDnc, *mnuOpenDxf, *OpenGerber1, *mnu3D, *Add1, *mnuSaveToolpaths,
      *mnuSaveToolToDxf, *SaveGeometryDXF1, *mnuClose, *mnuExit;
  // Edit
  QAction *mnuDeleteOpens, *mnuReverseDirLoop, *mnuChangeFirstEntity, *SetMachiningOrder1,
      *mnuExplode, *mnuJoin, *CombineSelectedRegions1, *AddDepths1, *AddWalls1, *ScaleSelected1;
  // STL edit
  QAction *MoveScaleandRotate1, *mnuFlipModel;
  // Setup
  QAction *mnuOptions, *EditPostProcessor1;
  // View
  QAction *mnuZoomPrev, *mnuZoomIn, *mnuZoomOut, *mnuZoomWindow, *mnuZoomAll, *mnuZoomSelected,
      *N2DView1, *mnuRedraw, *mnuShowDirs, *mnuInfo, *mnuViewAll, *mnuViewSelected,
      *mnuViewToolPaths, *mnuToolBar;
  // Select
  QAction *mnuAutoAll, *mnuAutoAllOpen, *mnuAutoAllClosed, *AllasIsl1, *mnuAutoWindow,
      *mnuAutoRegion, *mnuAutoSingle, *mnuAutoEmptyCircles, *mnuAddBoundary, *mnuAddIsland,
      *mnuDeselectAll, *mnuDeselectAllOpen, *mnuDeselectAllClosed, *mnuDeselectWindow,
      *mnuDeselectRegion, *mnuDeselectSingle, *mnuDeselectEmptyCircles, *mnuCancel;
  // Toolpaths
  QAction *mnuPocket, *mnuContour, *mnuDrill, *mnuPCB, *mnuPrototype;
  // Help
  QAction *mnuHelpContents, *mnuAbout;
  // View context menu
  QAction *SelectAll1, *SelectAllOpen1, *SelectAllClosed1, *AllasIslandsPCB1, *SelectWindow1,
      *SelectRegion1, *SelectSingle1, *SelectEmptyCircles1, *SingleBoundary1, *SingleIsland1,
      *DeSelectAll1, *DeSelectOpen1, *DeSelectClosed1, *DeSelectWindow1, *DeSelectRegion1,
      *DeSelectSingle1, *DeSelectEmptyCircles1, *Cancel1;
  // Editor context menu
  QAction *Undo1, *Font1, *Search1, *SelectAll2, *Renumber1, *SyntaxColored1;
  // File menu: the files opened last (mnuRecent1 ...), hidden when unused.
  std::vector<QAction*> mnuRecentFiles;

  // Tool bar buttons; each triggers its menu item.
  QToolButton *ToolButton1, *ToolButton2, *ToolButton3, *ToolButton4, *ToolButton5,
      *ToolButton6, *ToolButton7, *ToolButton8, *ToolButton9, *ToolButton10, *ToolButton11,
      *ToolButton13, *ToolButton14, *ToolButton15, *ToolButton16, *ToolButton17, *ToolButton18,
      *ToolButton19, *ToolButton20;

 public slots:
  // File
  void mnuOpenDncClick();
  void mnuOpenDxfClick();
  void OpenGerber1Click();
  void mnu3DClick();
  void Add1Click();
  void TextAdded();
  void mnuSaveToolpathsClick();
  void mnuSaveToolToDxfClick();
  void SaveGeometryDXF1Click();
  void mnuCloseClick();
  void mnuExitClick();
  // Edit
  void mnuDeleteOpensClick();
  void mnuReverseDirLoopClick();
  void mnuChangeFirstEntityClick();
  void SetMachiningOrder1Click();
  void mnuExplodeClick();
  void mnuJoinClick();
  void CombineSelectedRegions1Click();
  void AddDepths1Click();
  void AddWalls1Click();
  void ScaleSelected1Click();
  void MoveScaleandRotate1Click();
  void mnuFlipModelClick();
  // Setup
  void mnuOptionsClick();
  void EditPostProcessor1Click();
  // View
  void mnuZoomPrevClick();
  void mnuZoomInClick();
  void mnuZoomOutClick();
  void mnuZoomWindowClick();
  void mnuZoomAllClick();
  void mnuZoomSelectedClick();
  void N2DView1Click();
  void mnuRedrawClick();
  void mnuShowDirsClick();
  void mnuInfoClick();
  void mnuViewAllClick();
  void mnuViewSelectedClick();
  void mnuViewToolPathsClick();
  void mnuToolBarClick();
  // Select
  void mnuAutoAllClick();
  void mnuAutoAllOpenClick();
  void mnuAutoAllClosedClick();
  void AllasIsl1Click();
  void mnuAutoWindowClick();
  void mnuAutoRegionClick();
  void mnuAutoSingleClick();
  void mnuAutoEmptyCirclesClick();
  void mnuAddBoundaryClick();
  void mnuAddIslandClick();
  void mnuDeselectAllClick();
  void mnuDeselectAllOpenClick();
  void mnuDeselectAllClosedClick();
  void mnuDeselectWindowClick();
  void mnuDeselectRegionClick();
  void mnuDeselectSingleClick();
  void mnuDeselectEmptyCirclesClick();
  void mnuCancelClick();
  // Toolpaths
  void mnuPocketClick();
  void mnuContourClick();
  void mnuDrillClick();
  void mnuPCBClick();
  void mnuPrototypeClick();
  // Help
  void mnuHelpContentsClick();
  void mnuAboutClick();
  // View context menu: each triggers its Select menu twin.
  void SelectAll1Click();
  void SelectAllOpen1Click();
  void SelectAllClosed1Click();
  void AllasIslandsPCB1Click();
  void SelectWindow1Click();
  void SelectRegion1Click();
  void SelectSingle1Click();
  void SelectEmptyCircles1Click();
  void SingleBoundary1Click();
  void SingleIsland1Click();
  void DeSelectAll1Click();
  void DeSelectOpen1Click();
  void DeSelectClosed1Click();
  void DeSelectWindow1Click();
  void DeSelectRegion1Click();
  void DeSelectSingle1Click();
  void DeSelectEmptyCircles1Click();
  void Cancel1Click();
  // Editor context menu
  void Undo1Click();
  void Font1Click();
  void Search1Click();
  void SelectAll2Click();
  void Renumber1Click();
  void SyntaxColored1Click();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  using Handler = void (TfrmTarnak::*)();

  // Marks a long command for as long as it lives: menus and tool bar off,
  // other commands refused, the wait cursor when asked for. Converts to
  // false when another command is running already (then it does nothing).
  class CommandScope {
   public:
    CommandScope(TfrmTarnak& window, bool waitCursor);
    ~CommandScope();
    CommandScope(const CommandScope&) = delete;
    CommandScope& operator=(const CommandScope&) = delete;
    explicit operator bool() const { return started_; }

   private:
    TfrmTarnak& window_;
    bool started_;
    bool wait_;
  };

  void FormCreate();
  // The move/scale/rotate and depth tool windows (main_window_edit.cpp).
  void CreateEditWindows();
  void FormShow();
  // Escape and the other keys the window sees before its controls.
  void FormKeyPress(QChar key);

  void CreateMenus();
  void CreateToolBar();
  void CreatePopupMenus();
  QAction* Item(QMenu* menu, const char* name, const QString& caption, Handler handler,
                bool built = true);
  QToolButton* Button(const char* name, QAction* action, const QIcon& icon, bool followAction);

  // Enables an item unless its feature is not in this version.
  void SetItemEnabled(QAction* item, bool on);
  void SetMenuEnabled(QMenu* menu, bool on);
  void SetSelectMenu(bool on);
  void SetShowSelected(bool on);
  void SyncViewModeChecks();
  void SetSaveCommands(bool on);
  // After another file replaced the document: nothing to save or show.
  void ForgetToolpaths();
  void ActivateEditor(bool on);
  // The open dialog (or its seam) with a "description|patterns" filter;
  // empty when cancelled.
  QString AskOpenPath(const char* classicFilter);
  // The NC editor pane, its colouring and its windows (main_window_editor.cpp).
  void CreateEditor();
  void SetEditorText(const std::string& bytes);
  // Replaces the whole text as one undoable step.
  void ReplaceEditorText(const std::string& bytes);
  void SelectEditorLine(int line);
  void RenumberRequested(int action);
  // Close with the pane shown: the program's moves go, the pane shows
  // "No File Loaded" uncoloured and is hidden.
  void CloseEditorProgram();

  bool BeginCommand();
  void EndCommand();
  // Runs a selection command that may take long (wait cursor, guard).
  void RunLongSelection(SelectionResult (*command)(Document&));
  void ApplySelection(const SelectionResult& result);
  // Shows a strategy dialog; true when the user pressed its action button.
  bool ShowStrategyDialog(StrategyDialogBase* dialog);
  // The window's side of a strategy command's end: the toolpath view after
  // new toolpaths, the save commands.
  void ShowStrategyResult(StrategyResult result);
  void NotInThisVersion();
  long long SelectedElementCount() const;

  // ---- the drawing view ----
  void CreateView();
  void ConnectView();
  void ViewFitExtents();
  void ViewZoomBy(double fraction);
  void ViewZoomPrevious();
  void ViewZoomWindow();
  void ViewZoomSelected();
  void ViewSet3D(bool on);
  void ViewSetDirections(bool on);
  void ViewSetInfo(bool on);
  void ViewRepaint();
  void ViewContextMenu(const QPoint& globalPos);
  // Without a view that reports its scale: the tolerance of a fitted view.
  void UpdatePickTolerance();

  // ---- the STL model (main_window_stl.cpp) ----
  void CreateStlForms();
  // After a drawing replaced the model, or Close: the Edit menu back in
  // place of the STL edit menu, the model's window hidden.
  void LeaveStlMode();

  // ---- comforts: shortcuts, recent files, the title, dropped files ----
  void CreateComforts();
  void UpdateRecentFilesMenu();
  void RecentFileClick(std::size_t index);
  // After a drawing was read: the title names it and it heads the recent
  // files; an empty path: nothing is open.
  void NoteFileOpened(const QString& path);
  void ShowFileInTitle(const QString& path);
  // The first file of a drag that the open command takes, or empty.
  static QString DroppableFile(const QMimeData* mime);

  StartupFolders folders_;
  std::filesystem::path helpFile_;
  std::unique_ptr<QtUserInterface> ui_;
  std::unique_ptr<Document> doc_;

  std::vector<QAction*> notBuilt_;
  QActionGroup* viewModeGroup_ = nullptr;
  bool running_ = false;
  bool closePending_ = false;
  bool shownOnce_ = false;
  bool is3D_ = false;
  bool editorShown_ = false;
  bool popupEnabled_ = false;
  bool postLoaded_ = false;
  bool openingThroughMenu_ = false;
  NCRunState ncRun_;
  QAction* recentSeparator_ = nullptr;
};

}  // namespace tarnak::gui
