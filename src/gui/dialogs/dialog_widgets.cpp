#include "dialogs/dialog_widgets.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRadioButton>
#include <QVBoxLayout>

namespace tarnak::gui {

namespace {

class FieldKeyFilter : public QObject {
 public:
  FieldKeyFilter(FieldKeys keys, QObject* parent) : QObject(parent), keys_(keys) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress) {
      auto* key = static_cast<QKeyEvent*>(event);
      if (key->matches(QKeySequence::Paste)) return true;
      const QString text = key->text();
      // Control characters (backspace, Ctrl+C, Enter, Tab, Escape) and
      // keys without text (arrows, Delete) are left to the field.
      if (!text.isEmpty() && text.at(0).isPrint() && !FieldTakesKey(keys_, text)) return true;
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  FieldKeys keys_;
};

class ComboTypingBlocker : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress) {
      switch (static_cast<QKeyEvent*>(event)->key()) {
        // Focus moves and the dialog's own keys (default button, cancel)
        // still work.
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_Escape:
        case Qt::Key_Return:
        case Qt::Key_Enter:
          break;
        default:
          return true;
      }
    }
    return QObject::eventFilter(watched, event);
  }
};

}  // namespace

bool FieldTakesKey(FieldKeys keys, const QString& text) {
  for (const QChar c : text) {
    const bool digit = c >= QLatin1Char('0') && c <= QLatin1Char('9');
    const bool separator = c == QLatin1Char('.') || c == QLatin1Char(',');
    if (!digit && !(keys == FieldKeys::Decimal && separator)) return false;
  }
  return true;
}

void FilterFieldKeys(QLineEdit* field, FieldKeys keys) {
  field->installEventFilter(new FieldKeyFilter(keys, field));
  field->setContextMenuPolicy(Qt::NoContextMenu);
  field->setAcceptDrops(false);
}

void BlockComboTyping(QComboBox* combo) {
  auto* blocker = new ComboTypingBlocker(combo);
  combo->installEventFilter(blocker);
  if (QLineEdit* edit = combo->lineEdit()) {
    edit->installEventFilter(blocker);
    edit->setReadOnly(true);
    edit->setContextMenuPolicy(Qt::NoContextMenu);
    edit->setAcceptDrops(false);
  }
}

// ---- FocusLabel ---------------------------------------------------------------

FocusLabel::FocusLabel(const QString& text, QWidget* buddy, QWidget* parent)
    : QLabel(text, parent) {
  setBuddy(buddy);
  setFrameShape(QFrame::Panel);
  setRaised(false);
  buddy->installEventFilter(this);
}

bool FocusLabel::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusIn) setRaised(true);
  if (event->type() == QEvent::FocusOut) setRaised(false);
  return QLabel::eventFilter(watched, event);
}

void FocusLabel::setRaised(bool raised) {
  raised_ = raised;
  setFrameShadow(raised ? QFrame::Raised : QFrame::Plain);
  setLineWidth(raised ? 1 : 0);
}

// ---- RadioGroup ---------------------------------------------------------------

RadioGroup::RadioGroup(const QString& objectName, const QString& title, const QStringList& items,
                       QWidget* parent, const QString& buttonPrefix)
    : QGroupBox(title, parent), group_(new QButtonGroup(this)) {
  setObjectName(objectName);
  const QString prefix = buttonPrefix.isEmpty() ? objectName : buttonPrefix;
  auto* layout = new QVBoxLayout(this);
  for (int i = 0; i < items.size(); ++i) {
    auto* button = new QRadioButton(items[i], this);
    button->setObjectName(prefix + QLatin1Char('_') + QString::number(i));
    group_->addButton(button, i);
    layout->addWidget(button);
    buttons_.append(button);
  }
  connect(group_, &QButtonGroup::idClicked, this, &RadioGroup::itemChosen);
}

int RadioGroup::itemIndex() const { return group_->checkedId(); }

void RadioGroup::setItemIndex(int index) {
  if (index >= 0 && index < buttons_.size()) {
    buttons_[index]->setChecked(true);
  } else if (QAbstractButton* checked = group_->checkedButton()) {
    group_->setExclusive(false);
    checked->setChecked(false);
    group_->setExclusive(true);
  }
}

QRadioButton* RadioGroup::item(int index) const {
  return index >= 0 && index < buttons_.size() ? buttons_[index] : nullptr;
}

// ---- ColourPanel --------------------------------------------------------------

ColourPanel::ColourPanel(const QString& objectName, QWidget* parent) : QFrame(parent) {
  setObjectName(objectName);
  setFrameShape(QFrame::Panel);
  setFrameShadow(QFrame::Sunken);
  setAutoFillBackground(true);
  setMinimumSize(48, 20);
  setCursor(Qt::PointingHandCursor);
  setColour(kColourBlack);
}

void ColourPanel::setColour(Colour colour) {
  colour_ = colour;
  QPalette pal = palette();
  pal.setColor(QPalette::Window, ToQColor(colour));
  setPalette(pal);
}

void ColourPanel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
    emit clicked();
  }
  QFrame::mouseReleaseEvent(event);
}

QColor ToQColor(Colour colour) {
  return QColor(ColourRed(colour), ColourGreen(colour), ColourBlue(colour));
}

Colour FromQColor(const QColor& colour) {
  return MakeColour(colour.red(), colour.green(), colour.blue());
}

}  // namespace tarnak::gui
