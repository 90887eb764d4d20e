// The main dialog's operations, shared by its Windows files: the controls
// (DialogControlsWin.cpp), the preview and histogram (PreviewPaintWin.cpp) and
// the hover help (HoverHelpWin.cpp). The dialog edits the settings record of
// the call in progress (gPlugin) and holds no tone-mapping logic of its own.
#pragma once

// The dialog's window handle (HWND) without <windows.h>.
struct HWND__;
using DialogWindow = HWND__*;

// ---- Controls ----

// Moves the rows of the "Color", "Micro" and "S/H" pages onto those of the
// "Tone" page, their value labels right-aligned with the Tone page's.
void ArrangeTabPages(DialogWindow dialog);

// Enables and shows the rows of page `page`, disables and hides the other
// pages' rows; nothing for a negative page.
void ShowTabPage(DialogWindow dialog, int page);

// Every slider's range, position and value label from the record, the Light
// Smoothing group and the "360° Image" tick.
void RefreshControls(DialogWindow dialog);

// Selects the radio button of the record's Light Smoothing code and names the
// level; a code outside -2..2 selects none and leaves the name.
void UpdateSmoothingGroup(DialogWindow dialog);

// Enables or disables what changes the tone mapping while the source image is
// shown: every slider but Gamma, the four settings buttons and the sizes.
void SetAdjustmentsEnabled(DialogWindow dialog, bool enabled);

// A scroll request of a slider (WM_HSCROLL); `slider` is the control's window.
void HandleSliderRequest(DialogWindow dialog, int request, DialogWindow slider);

// A click on one of the Light Smoothing radio buttons.
void HandleSmoothingClick(DialogWindow dialog);

// ---- Preview and histogram ----

// Remembers the dialog's size at opening, which Small brings back.
void RememberOpeningSize(DialogWindow dialog);

// Computes a new preview, unless the host's result already holds a failure,
// and has the preview and histogram areas repainted.
void RefreshPreview(DialogWindow dialog);

// Paints the preview through the host's display callback, and the histogram.
void PaintPreview(DialogWindow dialog);

// Sizes the dialog and the preview frame to the current preview size.
void FitDialogToPreview(DialogWindow dialog);

// ---- Hover help ----

// Gives the 21 controls with a help text their hover-help procedure.
void InstallHoverHelp(DialogWindow dialog);
