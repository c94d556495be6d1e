// The post-processor editor ("ポストプロセッサーの設定"): loads a definition
// of "Posts.Cfg" into the program's current post, changes it, saves it
// under a name and deletes definitions.
//
// The token and script pages change doc.PostDefinition in place, so NC
// output follows them at once, saved or not. The general fields and the
// header and footer texts stay in the controls and reach the file only on
// save ("保存"); the current definition keeps its values for them until it
// is loaded again ("編集").
//
// Use: create once at start-up with the document and the settings folder
// (where "Posts.Cfg" lies). OpenPostEditor() prepares the dialog as a
// fresh one and shows it modally. The rules behind the buttons are the
// core's (post/post_editor.h); this class moves values between the
// controls and them.
#pragma once

#include <QDialog>
#include <filesystem>

#include "dialogs/dialog_widgets.h"
#include "post/post_editor.h"
#include "shell/document.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;

namespace tarnak::gui {

class TfrmPost : public QDialog {
  Q_OBJECT
 public:
  TfrmPost(Document& doc, std::filesystem::path settingsFolder, QWidget* parent = nullptr);

  // Script slot 0, the decimal choice hidden, the name list filled with the
  // sections of "Posts.Cfg" and its text emptied, the fields showing the
  // current definition; then shown modally.
  void OpenPostEditor();
  // What OpenPostEditor does before showing the dialog.
  void PrepareEditor();

  // The buttons under the pages.
  void LoadPostIntoEditor();  // "編集"
  void SavePostFromEditor();  // "保存"
  void DeletePost();          // "削除"

  // The example labels, refreshed from the current definition.
  void TokenExample();
  void ScriptExample();

  // The script slot the script page edits (0..9).
  int ScriptSlot() const { return scriptSlot_; }
  std::filesystem::path PostsFile() const;

  QTabWidget* PageControl1;

  // General page ("基本設定").
  QComboBox* cmbName;  // editable; the name to load, save or delete
  QLineEdit* txtExtension;
  QLineEdit* txtComment;
  QLineEdit* txtEndComment;
  QCheckBox* chkIncludeComment;
  QSpinBox* txtMaxBlock;
  RadioGroup* rgDecimal;  // 0 point, 1 comma; hidden

  // Token page ("トークン").
  QComboBox* cmbToken;
  QComboBox* cmbVariable;
  QLineEdit* txtAddress;
  QLineEdit* txtPlaces;
  QCheckBox* chkPlus;
  QPushButton* cmdCreate;      // "作成"
  QPushButton* cmdClearToken;  // "クリア"
  QLabel* lblTokenExample;

  // Script page ("移動スクリプト").
  RadioGroup* rgScript;  // Linear, Rapid, CW arc, CCW arc, drill
  RadioGroup* rgMove;    // "Single Move", "Continuous"
  QLineEdit* txtCommand;
  QComboBox* cmbScriptToken;
  QPushButton* cmdClearScript;  // "クリア"
  QPushButton* cmdAddCommand;   // "コマンド追加"
  QPushButton* cmdAddToken;     // "トークンの追加"
  QPushButton* cmdAddModal;     // "モーダルトークンの追加"
  QLabel* lblScriptExample;

  // Header / footer page ("ヘッダ / フッタ").
  QPlainTextEdit* memHeader;
  QPlainTextEdit* memFooter;

  QPushButton* cmdDelete;  // "削除"
  QPushButton* cmdSave;    // "保存"
  QPushButton* cmdEdit;    // "編集"
  QPushButton* cmdCancel;  // "キャンセル"

 private:
  void fillNameList();
  void fillFields();
  PostGeneralFields generalFields() const;
  TokenPageFields tokenPage() const;
  void showTokenPage(const TokenPageFields& page);
  // The token slot chosen on the token page, or -1 after saying
  // "Select A Token First".
  int chosenToken();
  void showScript();

  void cmbTokenChange(int slot);
  void cmdCreateClick();
  void cmdClearTokenClick();
  void rgScriptClick();
  void txtCommandChange(const QString& text);
  void cmdAddTokenClick(bool modal);
  void cmdAddCommandClick();
  void cmdClearScriptClick();

  TTNScript& currentScript();

  Document& doc_;
  std::filesystem::path settingsFolder_;
  int scriptSlot_ = 0;
};

}  // namespace tarnak::gui
