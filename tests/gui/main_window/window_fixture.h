// Shared by the main window tests: a settings folder of its own per test,
// a drawing with known nesting, message boxes answered from a script, and
// pressing Escape while a long command is under way.
#pragma once

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QKeyEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "main_window.h"
#include "qt_user_interface.h"
#include "status_bar.h"

namespace tarnak::gui::testing {

struct Message {
  std::string Text;
  std::string Caption;
  MsgButtons Buttons;
};

// Group code / value pairs of an ASCII DXF file.
class Dxf {
 public:
  Dxf() { G(0, "SECTION").G(2, "ENTITIES"); }
  Dxf& Line(double x1, double y1, double x2, double y2) {
    return G(0, "LINE").G(8, "0").N(10, x1).N(20, y1).N(30, 0).N(11, x2).N(21, y2).N(31, 0);
  }
  Dxf& Square(double x0, double y0, double size) {
    Line(x0, y0, x0 + size, y0);
    Line(x0 + size, y0, x0 + size, y0 + size);
    Line(x0 + size, y0 + size, x0, y0 + size);
    return Line(x0, y0 + size, x0, y0);
  }
  Dxf& Circle(double x, double y, double r) {
    return G(0, "CIRCLE").G(8, "0").N(10, x).N(20, y).N(30, 0).N(40, r);
  }
  std::string Text() const { return text_ + "0\nENDSEC\n0\nEOF\n"; }

 private:
  Dxf& G(int code, const char* value) {
    text_ += std::to_string(code) + "\n" + value + "\n";
    return *this;
  }
  Dxf& N(int code, double value) {
    return G(code, QByteArray::number(value, 'f', 6).constData());
  }
  std::string text_;
};

// Three nested squares (outer Boundary, middle Island, inner Boundary) and
// one open line beside them.
inline Dxf NestedSquares() {
  Dxf d;
  d.Square(0, 0, 100).Square(20, 20, 60).Square(40, 40, 20).Line(120, 0, 150, 0);
  return d;
}

class WindowFixture {
 public:
  WindowFixture() {
    QVERIFY2(dir_.isValid(), "no temporary folder");
    folders_.Settings = dir_.path().toStdString();
    folders_.Data = std::filesystem::path(TARNAK_SOURCE_DIR) / "data";
    folders_.Program = dir_.path().toStdString();
  }

  const StartupFolders& folders() const { return folders_; }
  QString Path(const QString& name) const { return dir_.filePath(name); }

  // Writes a file into the test's folder and returns its path.
  QString Write(const QString& name, const std::string& text) const {
    QFile f(Path(name));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return {};
    f.write(text.data(), static_cast<qint64>(text.size()));
    return f.fileName();
  }

  // A window whose message boxes are answered from `answers` (OK-only
  // boxes always get Ok) and recorded in `messages`.
  std::unique_ptr<TfrmTarnak> MakeWindow() {
    auto w = std::make_unique<TfrmTarnak>(folders_);
    Answer(*w);
    return w;
  }
  void Answer(TfrmTarnak& w) {
    w.ui().SetMessageHook([this](const std::string& text, const std::string& caption,
                                 MsgButtons buttons, MsgIcon) {
      messages.push_back({text, caption, buttons});
      if (buttons == MsgButtons::Ok || answers.empty()) return MsgResult::Ok;
      const MsgResult r = answers.front();
      answers.pop_front();
      return r;
    });
  }

  // Opens a drawing through the File menu, the file dialog answering `path`.
  static void Open(TfrmTarnak& w, const QString& path) {
    w.OpenFileDialog = [path](const QString&) { return path; };
    w.mnuOpenDxf->trigger();
  }

  bool SawMessage(const std::string& text) const {
    for (const Message& m : messages)
      if (m.Text == text) return true;
    return false;
  }

  std::deque<MsgResult> answers;
  std::vector<Message> messages;

 private:
  QTemporaryDir dir_;
  StartupFolders folders_;
};

inline QString Panel(const TfrmTarnak& w, int i) { return w.sbrBar->PanelText(i); }

// Runs `action` the first time the window lets events through while a
// long command runs and `when` holds: what a user pressing a key during the
// command does.
class DuringCommand {
 public:
  DuringCommand(TfrmTarnak& w, std::function<bool()> when, std::function<void()> action)
      : window_(w), when_(std::move(when)), action_(std::move(action)) {
    timer_.setInterval(0);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      if (done_ || !window_.CommandRunning() || !when_()) return;
      done_ = true;
      timer_.stop();
      action_();
    });
    timer_.start();
  }
  bool Done() const { return done_; }

 private:
  TfrmTarnak& window_;
  std::function<bool()> when_;
  std::function<void()> action_;
  QTimer timer_;
  bool done_ = false;
};

inline void PressEscape(QWidget* target) { QTest::keyClick(target, Qt::Key_Escape); }

// Presses `button` once its modal dialog is up (the timer fires inside
// the dialog's own event loop).
inline void ClickWhenShown(QWidget* dialog, QPushButton* button) {
  QTimer::singleShot(0, dialog, [dialog, button] {
    if (dialog->isVisible()) button->click();
  });
}

}  // namespace tarnak::gui::testing
