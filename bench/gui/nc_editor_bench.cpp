// Opening an NC program of 1,000,000 lines in the window (offscreen), as
// ratios to reading its bytes:
//   BM_ReadBytes     the baseline: the file into memory
//   BM_ReadMoves     the core's reading of the moves (post reading)
//   BM_OpenInWindow  the whole open: read, the text into the editor pane,
//                    the colours of the first screen, the picture drawn
//                    and the window painted (the window holding the same
//                    program already, as when it is opened again)
//   BM_ColourAll     colouring the whole program ("Show S&yntax" on)
// The window is 1200 x 900 pixels; the program is written in the words of
// the start post: straight cuts, arcs by I and J, rapids, a tool change.
#include <benchmark/benchmark.h>

#include <Qsci/qsciscintilla.h>

#include <QApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "import/nc/nc_reader.h"
#include "main_window.h"
#include "qt_user_interface.h"
#include "view/vector_display.h"

namespace {

using namespace tarnak;

constexpr int kLines = 1000000;

std::string Program() {
  std::string text;
  text.reserve(static_cast<std::size_t>(kLines) * 28);
  char line[96];
  text += "%\r\nG21 G17 G90 G40 G49 G80\r\nN10 T01 M06\r\nN20 S12000 M03\r\n";
  int n = 4;
  int block = 30;
  while (n < kLines - 3) {
    const int i = n;
    const double x = (i % 997) * 0.1;
    const double y = ((i / 997) % 997) * 0.1;
    if (i % 50 == 0) {
      std::snprintf(line, sizeof line, "N%d G00 X%.4f Y%.4f\r\n", block, x, y);
    } else if (i % 7 == 0) {
      std::snprintf(line, sizeof line, "N%d G03 X%.4f Y%.4f I0.0500 J0.0000\r\n", block, x + 0.1,
                    y);
    } else {
      std::snprintf(line, sizeof line, "N%d G01 X%.4f Y%.4f Z-%.4f F600.0000\r\n", block, x, y,
                    (i % 5) * 0.1);
    }
    text += line;
    block += 10;
    if (block > 99990) block = 10;
    ++n;
  }
  text += "M05\r\nM30\r\n%\r\n";
  return text;
}

struct Fixture {
  QTemporaryDir dir;
  std::string path;
  std::unique_ptr<gui::TfrmTarnak> window;
  Fixture() {
    path = dir.filePath("big.nc").toStdString();
    std::ofstream(path, std::ios::binary) << Program();
    gui::StartupFolders folders;
    folders.Settings = dir.path().toStdString();
    folders.Data = std::filesystem::path(TARNAK_SOURCE_DIR) / "data";
    folders.Program = dir.path().toStdString();
    window = std::make_unique<gui::TfrmTarnak>(folders);
    window->ui().SetMessageHook(
        [](const std::string&, const std::string&, MsgButtons, MsgIcon) { return MsgResult::Ok; });
    window->resize(1200, 900);
    window->show();
    QApplication::processEvents();
  }
};

// Made on first use and freed before the application object goes.
std::unique_ptr<Fixture> theFixture;
Fixture& TheFixture() {
  if (!theFixture) theFixture = std::make_unique<Fixture>();
  return *theFixture;
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
  return std::move(all).str();
}

void BM_ReadBytes(benchmark::State& state) {
  Fixture& f = TheFixture();
  for (auto _ : state) benchmark::DoNotOptimize(ReadBytes(f.path));
}
BENCHMARK(BM_ReadBytes)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_ReadMoves(benchmark::State& state) {
  Fixture& f = TheFixture();
  const std::string text = ReadBytes(f.path);
  for (auto _ : state)
    benchmark::DoNotOptimize(ReadNCPost(text, f.window->doc().PostDefinition).MoveCount());
}
BENCHMARK(BM_ReadMoves)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_OpenInWindow(benchmark::State& state) {
  Fixture& f = TheFixture();
  gui::TfrmTarnak& w = *f.window;
  const QString path = QString::fromStdString(f.path);
  std::size_t moves = 0;
  for (auto _ : state) {
    w.OpenNcProgram(path);
    // The first screen's colours, as painting the pane asks for them.
    const long firstScreen =
        w.edDNC->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, 80L);
    w.edDNC->SendScintilla(QsciScintillaBase::SCI_COLOURISE, 0L, firstScreen);
    w.edDNC->repaint();
    w.Draw3D->repaint();
    QApplication::processEvents();
    moves = w.doc().NCMoves.size() - 1;
  }
  state.counters["moves"] = static_cast<double>(moves);
  state.counters["drawn"] = static_cast<double>(w.Draw3D->NCMovesDrawn());
}
BENCHMARK(BM_OpenInWindow)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// "Show S&yntax" switched on with the whole program loaded: QScintilla
// then asks for the colours of all of it.
void BM_ColourAll(benchmark::State& state) {
  Fixture& f = TheFixture();
  gui::TfrmTarnak& w = *f.window;
  if (w.doc().NCMoves.size() < 2) w.OpenNcProgram(QString::fromStdString(f.path));
  for (auto _ : state) {
    state.PauseTiming();
    w.SyntaxColored1->trigger();  // off
    state.ResumeTiming();
    w.SyntaxColored1->trigger();  // on: the whole text coloured
  }
}
BENCHMARK(BM_ColourAll)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  theFixture.reset();
  return 0;
}
