#include "dialogs/options_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <exception>

#include "post/post_definition.h"
#include "base/numbers.h"
#include "toolpaths/machining_params.h"

namespace tarnak::gui {

namespace {

QString Q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string S(const QString& text) { return text.toStdString(); }

// Longest glyph precision the field takes: finer outlines than this only
// cost time.
constexpr int kPrecisionMaxDigits = 4;
constexpr int kMaxGerberOffset = 1000;

QWidget* NewPage(QTabWidget* tabs, const char* name, const QString& title) {
  auto* page = new QWidget(tabs);
  page->setObjectName(name);
  tabs->addTab(page, title);
  return page;
}

QStringList StyleItems() {
  return {QStringLiteral("標準"), QStringLiteral("太字"), QStringLiteral("斜体")};
}

}  // namespace

TfrmOptions::TfrmOptions(Document& doc, std::filesystem::path settingsFolder,
                         DialogServices services, QWidget* parent)
    : QDialog(parent),
      doc_(doc),
      settingsFolder_(std::move(settingsFolder)),
      services_(std::move(services)) {
  setObjectName("TfrmOptions");
  setWindowTitle(QStringLiteral("オプション"));
  setModal(true);

  ProgramOptions& o = doc_.Options;
  auto* layout = new QVBoxLayout(this);
  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName("PageControl1");
  layout->addWidget(PageControl1);

  // ---- screen colours ----
  {
    QWidget* page = NewPage(PageControl1, "tabColours", QStringLiteral("画面の色"));
    auto* pageLayout = new QVBoxLayout(page);
    auto* box = new QGroupBox(QStringLiteral("色"), page);
    auto* grid = new QGridLayout(box);
    pnlUnClosed = addColour(grid, "pnlUnClosed", QStringLiteral("閉じた図形"), &o.View.UnClosed);
    pnlUnOpen = addColour(grid, "pnlUnOpen", QStringLiteral("開いた図形"), &o.View.UnOpen);
    pnlClosed = addColour(grid, "pnlClosed", QStringLiteral("選択された外形"), &o.View.Closed);
    pnlIsland = addColour(grid, "pnlIsland", QStringLiteral("選択された島"), &o.View.Island);
    pnlOpen = addColour(grid, "pnlOpen", QStringLiteral("選択された開いた図形"), &o.View.Open);
    pnlRTool = addColour(grid, "pnlRTool", QStringLiteral("荒加工ツールパス"), &o.View.RTool);
    pnlFTool = addColour(grid, "pnlFTool", QStringLiteral("仕上げツールパス"), &o.View.FTool);
    pnlBack = addColour(grid, "pnlBack", QStringLiteral("背景"), &o.View.Back);
    pageLayout->addWidget(box);
    chkDrawBoundaries = new QCheckBox(QStringLiteral("ツールパスと一緒に外形を表示"), page);
    chkDrawBoundaries->setObjectName("chkDrawBoundaries");
    pageLayout->addWidget(chkDrawBoundaries);
    rgMarkDirs = new RadioGroup(QStringLiteral("rgMarkDirs"), QStringLiteral("方向の表示"),
                                {QStringLiteral("各図形の最初の要素"), QStringLiteral("すべての要素")},
                                page);
    pageLayout->addWidget(rgMarkDirs);
    pageLayout->addStretch();
  }

  // ---- tolerances ----
  {
    QWidget* page = NewPage(PageControl1, "tabTolerances", QStringLiteral("許容差"));
    auto* pageLayout = new QHBoxLayout(page);
    auto* rough = new QGroupBox(QStringLiteral("荒加工"), page);
    auto* roughGrid = new QGridLayout(rough);
    txtMinArcLengthRough = addNumber(roughGrid, "txtMinArcLengthRough",
                                     QStringLiteral("最小円弧長"), FieldKeys::Decimal);
    txtTanDevRough =
        addNumber(roughGrid, "txtTanDevRough", QStringLiteral("接線偏差"), FieldKeys::Decimal);
    txtMinArcRadRough = addNumber(roughGrid, "txtMinArcRadRough", QStringLiteral("最小円弧半径"),
                                  FieldKeys::Decimal);
    auto* finish = new QGroupBox(QStringLiteral("仕上げ"), page);
    auto* finishGrid = new QGridLayout(finish);
    txtMinArcLengthFinish = addNumber(finishGrid, "txtMinArcLengthFinish",
                                      QStringLiteral("最小円弧長"), FieldKeys::Decimal);
    txtTanDevFinish =
        addNumber(finishGrid, "txtTanDevFinish", QStringLiteral("接線偏差"), FieldKeys::Decimal);
    txtMinArcRadFinish = addNumber(finishGrid, "txtMinArcRadFinish",
                                   QStringLiteral("最小円弧半径"), FieldKeys::Decimal);
    pageLayout->addWidget(rough);
    pageLayout->addWidget(finish);

    const struct {
      QLineEdit* Field;
      double* Value;
    } tolerances[] = {
        {txtMinArcLengthRough, &o.RoughTolerances.MinArcLength},
        {txtTanDevRough, &o.RoughTolerances.TanDev},
        {txtMinArcRadRough, &o.RoughTolerances.MinArcRad},
        {txtMinArcLengthFinish, &o.FinishTolerances.MinArcLength},
        {txtTanDevFinish, &o.FinishTolerances.TanDev},
        {txtMinArcRadFinish, &o.FinishTolerances.MinArcRad},
    };
    for (const auto& t : tolerances) {
      connect(t.Field, &QLineEdit::textEdited, this, [this, field = t.Field, value = t.Value] {
        double v = 0.0;
        if (readFloat(field, v)) *value = v;
      });
    }
  }

  // ---- editor ----
  {
    QWidget* page = NewPage(PageControl1, "tabEditor", QStringLiteral("エディタ"));
    auto* pageLayout = new QVBoxLayout(page);
    auto* box = new QGroupBox(QStringLiteral("色"), page);
    auto* grid = new QGridLayout(box);
    pnlCommandColor = addColour(grid, "pnlCommandColor", QStringLiteral("コマンド"),
                                &o.Editor.CommandColor);
    pnlAddressColor = addColour(grid, "pnlAddressColor", QStringLiteral("アドレス"),
                                &o.Editor.AddressColor);
    pnlCommentColor = addColour(grid, "pnlCommentColor", QStringLiteral("コメント"),
                                &o.Editor.CommentColor);
    pageLayout->addWidget(box);
    auto* styles = new QHBoxLayout;
    rgCommandStyle = new RadioGroup(QStringLiteral("rgCommandStyle"), QStringLiteral("コマンド"),
                                    StyleItems(), page);
    rgAddressStyle = new RadioGroup(QStringLiteral("rgAddressStyle"), QStringLiteral("アドレス"),
                                    StyleItems(), page);
    rgCommentStyle = new RadioGroup(QStringLiteral("rgCommentStyle"), QStringLiteral("コメント"),
                                    StyleItems(), page);
    styles->addWidget(rgCommandStyle);
    styles->addWidget(rgAddressStyle);
    styles->addWidget(rgCommentStyle);
    pageLayout->addLayout(styles);
    pageLayout->addStretch();
    const struct {
      RadioGroup* Group;
      EditorStyle* Value;
    } styleGroups[] = {{rgCommandStyle, &o.Editor.CommandStyle},
                       {rgAddressStyle, &o.Editor.AddressStyle},
                       {rgCommentStyle, &o.Editor.CommentStyle}};
    for (const auto& s : styleGroups) {
      connect(s.Group, &RadioGroup::itemChosen, this, [this, value = s.Value](int item) {
        *value = static_cast<EditorStyle>(item);
        emit optionsChanged();
      });
    }
  }

  // ---- miscellaneous ----
  {
    QWidget* page = NewPage(PageControl1, "tabMisc", QStringLiteral("その他"));
    auto* pageLayout = new QVBoxLayout(page);
    rgDir = new RadioGroup(QStringLiteral("rgDir"), QStringLiteral("閉じた図形の方向"),
                           {QStringLiteral("時計回り"), QStringLiteral("反時計回り")}, page);
    rgPocketDir = new RadioGroup(QStringLiteral("rgPocketDir"), QStringLiteral("ポケット加工の方向"),
                                 {QStringLiteral("外側から内側へ"), QStringLiteral("内側から外側へ")},
                                 page);
    auto* directions = new QHBoxLayout;
    directions->addWidget(rgDir);
    directions->addWidget(rgPocketDir);
    pageLayout->addLayout(directions);
    chkTrace = new QCheckBox(QStringLiteral("Trace Contour of Islands When Tops are to be Finished"),
                             page);
    chkTrace->setObjectName("chkTrace");
    chkFix = new QCheckBox(QStringLiteral("DXFの不正な図形を修正する"), page);
    chkFix->setObjectName("chkFix");
    pageLayout->addWidget(chkTrace);
    pageLayout->addWidget(chkFix);
    chkExpandBlocks = new QCheckBox(QStringLiteral("Expand blocks and splines"), page);
    chkExpandBlocks->setObjectName("chkExpandBlocks");
    pageLayout->addWidget(chkExpandBlocks);
    auto* holder = new QWidget(page);
    auto* grid = new QGridLayout(holder);
    pageLayout->addWidget(holder);
    txtOverlap =
        addNumber(grid, "txtOverlap", QStringLiteral("工具のオーバーラップ (%)"), FieldKeys::Integer);
    cmbPost = new QComboBox(holder);
    cmbPost->setObjectName("cmbPost");
    cmbPost->setEditable(true);
    cmbPost->setInsertPolicy(QComboBox::NoInsert);
    BlockComboTyping(cmbPost);
    auto* postLabel = new QLabel(QStringLiteral("ポストプロセッサー"), holder);
    postLabel->setBuddy(cmbPost);
    const int row = grid->rowCount();
    grid->addWidget(postLabel, row, 0);
    grid->addWidget(cmbPost, row, 1);

    // The Gerber tool offset is kept but not offered.
    grpOffset = new QGroupBox(QStringLiteral("ガーバー"), page);
    grpOffset->setObjectName("grpOffset");
    auto* offsetGrid = new QGridLayout(grpOffset);
    txtOffset =
        addNumber(offsetGrid, "txtOffset", QStringLiteral("工具オフセット (mil)"), FieldKeys::Integer);
    pageLayout->addWidget(grpOffset);
    grpOffset->hide();
    pageLayout->addStretch();

    connect(rgDir, &RadioGroup::itemChosen, this, [this](int item) {
      doc_.Options.Program.Dir = item == 0;
      emit optionsChanged();
    });
    connect(rgPocketDir, &RadioGroup::itemChosen, this,
            [this](int item) { doc_.Options.Program.PocketDir = item == 1; });
    connect(chkTrace, &QCheckBox::clicked, this,
            [this](bool on) { doc_.Options.Program.Trace = on; });
    connect(chkFix, &QCheckBox::clicked, this, [this](bool on) { doc_.Options.Program.Fix = on; });
    connect(chkExpandBlocks, &QCheckBox::clicked, this,
            [this](bool on) { doc_.Options.Program.ExpandBlocks = on; });
    connect(txtOverlap, &QLineEdit::textEdited, this, [this] {
      double percent = 0.0;
      if (readFloat(txtOverlap, percent)) doc_.Options.Program.Overlap = percent / 100.0;
    });
    connect(txtOffset, &QLineEdit::textEdited, this, [this] {
      double mils = 0.0;
      if (readFloat(txtOffset, mils) && mils <= kMaxGerberOffset)
        doc_.Options.Program.Offset = static_cast<int>(mils);
    });
    connect(cmbPost, &QComboBox::activated, this,
            [this](int index) { cmbPostChange(cmbPost->itemText(index)); });
  }

  // ---- text ----
  {
    QWidget* page = NewPage(PageControl1, "tabText", QStringLiteral("テキスト"));
    auto* pageLayout = new QVBoxLayout(page);
    auto* holder = new QWidget(page);
    auto* grid = new QGridLayout(holder);
    txtFont = new QLineEdit(holder);
    txtFont->setObjectName("txtFont");
    txtFont->setReadOnly(true);
    txtFont->setCursor(Qt::PointingHandCursor);
    txtFont->installEventFilter(this);
    auto* fontLabel = new FocusLabel(QStringLiteral("フォント"), txtFont, holder);
    grid->addWidget(fontLabel, 0, 0);
    grid->addWidget(txtFont, 0, 1);
    txtFontPrecision =
        addNumber(grid, "txtFontPrecision", QStringLiteral("精度"), FieldKeys::Integer);
    txtFontPrecision->setMaxLength(kPrecisionMaxDigits);
    pageLayout->addWidget(holder);
    pageLayout->addStretch();
    connect(txtFontPrecision, &QLineEdit::textEdited, this, [this] {
      double precision = 0.0;
      if (readFloat(txtFontPrecision, precision))
        doc_.Options.Program.FontPrecision = RoundToInt32(precision);
    });
  }

  // ---- STL ----
  {
    QWidget* page = NewPage(PageControl1, "tabStl", QStringLiteral("STL"));
    auto* pageLayout = new QVBoxLayout(page);
    auto* holder = new QWidget(page);
    auto* grid = new QGridLayout(holder);
    txtSTLDepth = addNumber(grid, "txtSTLDepth", QStringLiteral("STLの深さ"), FieldKeys::Decimal);
    txtStlOverlap =
        addNumber(grid, "txtStlOverlap", QStringLiteral("オーバーラップ (%)"), FieldKeys::Integer);
    txtGridSize = addNumber(grid, "txtGridSize", QStringLiteral("グリッド"), FieldKeys::Decimal);
    pageLayout->addWidget(holder);
    chkAir = new QCheckBox(QStringLiteral("空中での切削を省く"), page);
    chkAir->setObjectName("chkAir");
    pageLayout->addWidget(chkAir);
    pageLayout->addStretch();
    // A cleared STL field keeps the option: the user is about to type.
    connect(txtSTLDepth, &QLineEdit::textEdited, this, [this](const QString& text) {
      double depth = 0.0;
      if (!text.isEmpty() && readFloat(txtSTLDepth, depth)) doc_.Options.Program.STLDepth = depth;
    });
    connect(txtStlOverlap, &QLineEdit::textEdited, this, [this](const QString& text) {
      double percent = 0.0;
      if (!text.isEmpty() && readFloat(txtStlOverlap, percent))
        doc_.Options.Program.StlOverlap = percent / 100.0;
    });
    // A grid of size 0 could never be drawn; such a value is not taken.
    connect(txtGridSize, &QLineEdit::textEdited, this, [this](const QString& text) {
      double size = 0.0;
      if (!text.isEmpty() && readFloat(txtGridSize, size) && size > 0.0) {
        doc_.Options.View.GridSize = size;
        emit optionsChanged();
      }
    });
    connect(chkAir, &QCheckBox::clicked, this, [this](bool on) { doc_.Options.Program.Air = on; });
  }

  connect(chkDrawBoundaries, &QCheckBox::clicked, this, [this](bool on) {
    doc_.Options.View.DrawBoundaries = on;
    emit optionsChanged();
  });
  connect(rgMarkDirs, &RadioGroup::itemChosen, this, [this](int item) {
    doc_.Options.View.MarkDirs = item == 1;
    emit optionsChanged();
  });

  cmdSave = new QPushButton(QStringLiteral("保存"), this);
  cmdSave->setObjectName("cmdSave");
  cmdClose = new QPushButton(QStringLiteral("閉じる"), this);
  cmdClose->setObjectName("cmdClose");
  cmdSave->setAutoDefault(false);
  cmdClose->setAutoDefault(false);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(cmdSave);
  buttons->addWidget(cmdClose);
  layout->addLayout(buttons);
  connect(cmdSave, &QPushButton::clicked, this, [this] { cmdSaveClick(); });
  connect(cmdClose, &QPushButton::clicked, this, [this] { reject(); });

  for (const PanelTarget& target : panels_) {
    connect(target.Panel, &ColourPanel::clicked, this, [this, target] { colourPanelClick(target); });
  }

  Fill();
}

ColourPanel* TfrmOptions::addColour(QGridLayout* grid, const char* name, const QString& label,
                                    Colour* value) {
  auto* panel = new ColourPanel(QString::fromLatin1(name), grid->parentWidget());
  auto* caption = new QLabel(label, grid->parentWidget());
  const int row = grid->rowCount();
  grid->addWidget(caption, row, 0);
  grid->addWidget(panel, row, 1);
  panels_.push_back({panel, value});
  return panel;
}

QLineEdit* TfrmOptions::addNumber(QGridLayout* grid, const char* name, const QString& label,
                                  FieldKeys keys) {
  QWidget* owner = grid->parentWidget();
  auto* field = new QLineEdit(owner);
  field->setObjectName(name);
  FilterFieldKeys(field, keys);
  auto* caption = new FocusLabel(label, field, owner);
  const int row = grid->rowCount();
  grid->addWidget(caption, row, 0);
  grid->addWidget(field, row, 1);
  return field;
}

void TfrmOptions::Execute() {
  Fill();
  exec();
}

void TfrmOptions::Fill() {
  const ProgramOptions& o = doc_.Options;
  for (const PanelTarget& target : panels_) target.Panel->setColour(*target.Value);
  chkDrawBoundaries->setChecked(o.View.DrawBoundaries);
  rgMarkDirs->setItemIndex(o.View.MarkDirs ? 1 : 0);

  txtMinArcLengthRough->setText(Q(FloatToStr(o.RoughTolerances.MinArcLength)));
  txtTanDevRough->setText(Q(FloatToStr(o.RoughTolerances.TanDev)));
  txtMinArcRadRough->setText(Q(FloatToStr(o.RoughTolerances.MinArcRad)));
  txtMinArcLengthFinish->setText(Q(FloatToStr(o.FinishTolerances.MinArcLength)));
  txtTanDevFinish->setText(Q(FloatToStr(o.FinishTolerances.TanDev)));
  txtMinArcRadFinish->setText(Q(FloatToStr(o.FinishTolerances.MinArcRad)));

  rgCommandStyle->setItemIndex(static_cast<int>(o.Editor.CommandStyle));
  rgAddressStyle->setItemIndex(static_cast<int>(o.Editor.AddressStyle));
  rgCommentStyle->setItemIndex(static_cast<int>(o.Editor.CommentStyle));

  rgDir->setItemIndex(o.Program.Dir ? 0 : 1);
  rgPocketDir->setItemIndex(o.Program.PocketDir ? 1 : 0);
  chkTrace->setChecked(o.Program.Trace);
  chkFix->setChecked(o.Program.Fix);
  chkExpandBlocks->setChecked(o.Program.ExpandBlocks);
  txtOverlap->setText(Q(FloatToStr(o.Program.Overlap * 100.0)));
  txtOffset->setText(QString::number(o.Program.Offset));
  fillPostList();

  txtFont->setText(Q(o.Program.Font));
  txtFontPrecision->setText(QString::number(o.Program.FontPrecision));

  txtSTLDepth->setText(Q(FloatToStr(o.Program.STLDepth)));
  txtStlOverlap->setText(Q(FloatToStr(o.Program.StlOverlap * 100.0)));
  txtGridSize->setText(Q(FormatNumber("%.2f", o.View.GridSize)));
  chkAir->setChecked(o.Program.Air);
}

void TfrmOptions::fillPostList() {
  std::vector<std::string> names;
  try {
    names = ListPostNames(settingsFolder_ / std::filesystem::path(kPostsFileName));
  } catch (const std::exception& e) {
    ShowError(doc_.ui(), e.what());
  }
  cmbPost->clear();
  for (const std::string& name : names) cmbPost->addItem(Q(name));
  cmbPost->setEditText(Q(doc_.Options.Program.Post));
}

bool TfrmOptions::readFloat(const QLineEdit* field, double& value) {
  try {
    value = TextToFloat(S(field->text()));
    return true;
  } catch (const ConvertError& e) {
    ShowError(doc_.ui(), e.what());
    return false;
  }
}

bool TfrmOptions::eventFilter(QObject* watched, QEvent* event) {
  if (watched == txtFont && event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    txtFontClick();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

void TfrmOptions::colourPanelClick(const PanelTarget& target) {
  if (!services_.ChooseColour) return;
  const std::optional<QColor> chosen = services_.ChooseColour(this, ToQColor(*target.Value));
  if (!chosen || !chosen->isValid()) return;
  *target.Value = FromQColor(*chosen);
  target.Panel->setColour(*target.Value);
  // The tool blocks carry the toolpath colours into every new toolpath.
  SetToolColours(doc_.MachiningParams, static_cast<int32_t>(doc_.Options.View.RTool),
                 static_cast<int32_t>(doc_.Options.View.FTool));
  emit optionsChanged();
}

void TfrmOptions::txtFontClick() {
  if (!services_.ChooseFont) return;
  QFont initial(Q(doc_.Options.Program.Font));
  initial.setBold(doc_.Options.Program.FontBold);
  initial.setItalic(doc_.Options.Program.FontItalic);
  const std::optional<QFont> chosen = services_.ChooseFont(this, initial);
  if (!chosen) return;
  doc_.Options.Program.Font = S(chosen->family());
  doc_.Options.Program.FontBold = chosen->bold();
  doc_.Options.Program.FontItalic = chosen->italic();
  txtFont->setText(chosen->family());
}

void TfrmOptions::cmbPostChange(const QString& name) {
  // The name is set first, so the definition is called by what the user
  // chose even when its section cannot be read.
  doc_.PostDefinition.Name = S(name);
  try {
    LoadPostDefinition(doc_.PostDefinition, S(name),
                       settingsFolder_ / std::filesystem::path(kPostsFileName));
  } catch (const std::exception& e) {
    ShowError(doc_.ui(), e.what());
  }
  emit postLoaded();
}

void TfrmOptions::cmdSaveClick() {
  try {
    SaveOptions(doc_.Options, S(cmbPost->currentText()), OptionsFilePath(settingsFolder_));
  } catch (const std::exception& e) {
    // Not saved: say why and leave the dialog open, so nothing is lost.
    ShowError(doc_.ui(), e.what());
    return;
  }
  ShowMessage(doc_.ui(), "Options Saved!");
  fillPostList();
  accept();
}

}  // namespace tarnak::gui
