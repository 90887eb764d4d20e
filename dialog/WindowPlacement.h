// Placing the module's windows on the screen.
#pragma once

// Moves `window` (HWND on Windows) over its parent, or over the desktop when
// it has none: centred horizontally, a third of the way down, shifted left by
// a caption button's width, and pushed back inside the primary screen's right
// and bottom edges. Its size and z-order stay.
void CentreOverParent(void* window);
