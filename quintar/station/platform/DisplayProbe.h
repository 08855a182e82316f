// Whether the station's window can be opened here, asked without loading any GUI library: the
// program decides between its window and a one-line refusal before the window's library loads.
#pragma once

namespace quintar {

// A Qt platform chosen in QT_QPA_PLATFORM, or a Wayland or X display whose socket answers (an X
// display on another machine is taken on trust).
bool DisplayAvailable();

}  // namespace quintar
