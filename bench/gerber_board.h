// A generated 100 x 100 mm board for the circuit-board benches: 2,000 pads,
// 1,000 tracks and a copper pour, written as a millimetre Gerber file the
// way board editors write them today (FSLAX46Y46, MOMM, G36/G37 pour, clear
// polarity for the pour's clearances).
//
// Layout: a grid of 49 x 40 pads (round and rectangular alternating) at
// 1.4 mm x 2.4 mm pitch on the left; every other pair of neighbours in a
// row joined by a track with two bends that runs between the rows; the
// last pad of each row joined to the pour on the right, which holds 40
// pads of its own in round clearances.
#pragma once

#include <cmath>
#include <cstdio>
#include <string>

namespace tarnak::bench {

inline std::string GeneratedBoardGerber() {
  std::string g;
  g.reserve(200000);
  char buf[96];
  auto xy = [&](double x, double y, int d) {
    std::snprintf(buf, sizeof buf, "X%lldY%lldD%02d*\n", std::llround(x * 1e6), std::llround(y * 1e6), d);
    g += buf;
  };
  g += "G04 generated bench board*\n%FSLAX46Y46*%\n%MOMM*%\n";
  g += "%ADD10C,0.800000*%\n%ADD11R,1.000000X0.600000*%\n%ADD12C,0.250000*%\n%ADD13C,1.600000*%\n";
  g += "G01*\nG75*\n%LPD*%\n";
  const int cols = 49, rows = 40;
  auto padX = [](int c) { return 2.0 + 1.4 * c; };
  auto padY = [](int r) { return 2.0 + 2.4 * r; };
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) {
      g += (c + r) % 2 == 0 ? "D10*\n" : "D11*\n";
      xy(padX(c), padY(r), 3);
    }
  // Tracks: 24 per row between neighbours, out of the pad, along the gap
  // between rows and back down; one more per row into the pour.
  g += "D12*\n";
  for (int r = 0; r < rows; ++r) {
    const double y = padY(r), mid = y + 1.2;
    for (int c = 0; c + 1 < cols - 1; c += 2) {
      xy(padX(c), y, 2);
      xy(padX(c), mid, 1);
      xy(padX(c + 1), mid, 1);
      xy(padX(c + 1), y, 1);
    }
    xy(padX(cols - 1), y, 2);
    xy(75.0, y, 1);
  }
  // The pour, 74..98 x 1..99 mm, with a notch so its outline is not a
  // plain rectangle.
  g += "G36*\n";
  xy(74.0, 1.0, 2);
  xy(98.0, 1.0, 1);
  xy(98.0, 99.0, 1);
  xy(74.0, 99.0, 1);
  xy(74.0, 60.0, 1);
  xy(72.5, 60.0, 1);
  xy(72.5, 40.0, 1);
  xy(74.0, 40.0, 1);
  xy(74.0, 1.0, 1);
  g += "G37*\n";
  // 40 round clearances in the pour, each with a pad in it.
  g += "%LPC*%\nD13*\n";
  for (int k = 0; k < 40; ++k) xy(80.0 + 4.0 * (k % 4), 5.0 + 9.5 * (k / 4), 3);
  g += "%LPD*%\nD10*\n";
  for (int k = 0; k < 40; ++k) xy(80.0 + 4.0 * (k % 4), 5.0 + 9.5 * (k / 4), 3);
  g += "M02*\n";
  return g;
}

}  // namespace tarnak::bench
