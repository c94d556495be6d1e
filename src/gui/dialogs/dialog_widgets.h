// Small building blocks shared by the modal dialogs: keystroke filtering of
// number fields, a radio group with an item index, a clickable colour
// panel, and the label that is raised while its field has the focus.
#pragma once

#include <QColor>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include "base/options.h"

class QButtonGroup;
class QComboBox;
class QLineEdit;
class QRadioButton;

namespace tarnak::gui {

// Which characters a number field takes from the keyboard.
enum class FieldKeys {
  Decimal,  // digits, '.', ',' and backspace
  Integer,  // digits and backspace
};

// Drops the typed characters a number field does not take. Only keys that
// type a character are looked at: navigation, Delete, Tab, Enter and
// Escape pass, so the field and the dialog still work from the keyboard.
// Pasting with the keyboard is dropped too and the context menu removed,
// since pasted text would bypass the filter.
void FilterFieldKeys(QLineEdit* field, FieldKeys keys);

// True when a number field of that kind takes the typed text `text`.
bool FieldTakesKey(FieldKeys keys, const QString& text);

// Swallows every key press aimed at the combo box (and its line edit when
// it is editable), so the user can only choose a listed item with the
// mouse. Tab and Backtab still move the focus.
void BlockComboTyping(QComboBox* combo);

// A label that shows itself raised while its buddy field has the focus and
// flat otherwise, so the user sees which value is being typed.
class FocusLabel : public QLabel {
  Q_OBJECT
 public:
  FocusLabel(const QString& text, QWidget* buddy, QWidget* parent = nullptr);
  bool raised() const { return raised_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void setRaised(bool raised);
  bool raised_ = false;
};

// A group box of exclusive option buttons addressed by item index, like a
// radio group: the buttons are named <buttonPrefix>_0, _1, ... (the prefix
// is the group's object name unless given).
class RadioGroup : public QGroupBox {
  Q_OBJECT
 public:
  RadioGroup(const QString& objectName, const QString& title, const QStringList& items,
             QWidget* parent = nullptr, const QString& buttonPrefix = QString());

  int itemIndex() const;
  // Checks the item without emitting itemChosen; an index out of range
  // checks nothing.
  void setItemIndex(int index);
  QRadioButton* item(int index) const;
  int count() const { return static_cast<int>(buttons_.size()); }

 signals:
  // The user (or a click() call) chose the item.
  void itemChosen(int index);

 private:
  QButtonGroup* group_;
  QList<QRadioButton*> buttons_;
};

// A panel filled with one colour; a click asks for another (clicked()).
class ColourPanel : public QFrame {
  Q_OBJECT
 public:
  explicit ColourPanel(const QString& objectName, QWidget* parent = nullptr);
  void setColour(Colour colour);
  Colour colour() const { return colour_; }

 signals:
  void clicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  Colour colour_ = kColourBlack;
};

// Conversions between the settings files' 0x00BBGGRR colours and QColor.
QColor ToQColor(Colour colour);
Colour FromQColor(const QColor& colour);

}  // namespace tarnak::gui
