(Created (time) from dxf2gcode-plasma_fc_mounting_R12)
(Post = Plasma)
(Tool 6 = なし)
G21 G17 G90 G91.1 G40 G49 G80
G0 Z2.0000 M05
G0 X-15.2500 Y-15.2500
G0 X15.2500 M05
M05
M30
