// The hover help of the dialog's controls that are not settings (the sliders'
// texts are in the settings table), shown letter for letter in the "Note" box.
#pragma once

struct ControlHelpText {
    int controlId;
    const char* text;
};

inline constexpr ControlHelpText kControlHelpTexts[] = {
    {300,
     "Checking this option makes both ends (left and right sides) of an equirectagular image continous.\n"
     "Only check this option for a 360 degree spherical image intended to be viewed in a panorama viewer."},
    {3, "Revert to parameters set the last time you ran the Tone Mapping."},
    {310, "Set the default Tone Mapping parameters."},
    {320, "Load Tone Mapping settings from XMP file."},
    {330, "Save Tone Mapping settings to XMP file."},
    {350, "Switch between the tone mapped preview and the original image."},
    {4, "Show the help for the Tone Mapping Plug-In."},
};
