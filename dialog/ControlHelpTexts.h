// The hover help of the dialog's controls that are not settings (the sliders'
// texts are in the settings table), shown letter for letter in the "Note" box.
#pragma once

#include "DialogControlIds.h"

struct ControlHelpText {
    int controlId;
    const char* text;
};

inline constexpr ControlHelpText kControlHelpTexts[] = {
    {IDC_PANORAMA,
     "Checking this option makes both ends (left and right sides) of an equirectagular image continous.\n"
     "Only check this option for a 360 degree spherical image intended to be viewed in a panorama viewer."},
    {IDC_PREVIOUS, "Revert to parameters set the last time you ran the Tone Mapping."},
    {IDC_DEFAULT, "Set the default Tone Mapping parameters."},
    {IDC_LOAD, "Load Tone Mapping settings from XMP file."},
    {IDC_SAVE, "Save Tone Mapping settings to XMP file."},
    {IDC_SHOW_ORIGINAL, "Switch between the tone mapped preview and the original image."},
    {IDC_HELP_BUTTON, "Show the help for the Tone Mapping Plug-In."},
};
