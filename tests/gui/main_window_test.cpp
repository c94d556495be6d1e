// The window starts, opens a drawing through the core command and shows
// the import status; Escape reaches the document.
#include <QStatusBar>
#include <QtTest>

#include "main_window.h"

class MainWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void startsWithItsTitleAndOpensADrawing() {
    tarnak::gui::TfrmTarnak w;
    w.show();
    QCOMPARE(w.windowTitle(), QString("Tarnak 2000"));
    QCOMPARE(w.statusBar()->currentMessage(), QString("Ready..."));
    w.OpenDrawing(QString(TARNAK_CORPUS_DIR) + "/dxf/ezdxf_AC1003_LINE_Example.dxf");
    QCOMPARE(w.statusBar()->currentMessage(), QString("3 Regions Created... 1 Open"));
  }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
