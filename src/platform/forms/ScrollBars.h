#pragma once
// Scroll bars whose handle is plain to see: darker than the groove it moves
// in, as on most desktops. The toolkit's own look draws a light handle in a
// grey groove, and a handle filling half of the groove at its top reads as
// one that sits at the bottom.

namespace tv::forms {

// The program's look from now on, with these scroll bars; later calls do nothing.
void useClearScrollBars();

}  // namespace tv::forms
