// The hover help of the fourteen settings' sliders, shown letter for letter
// in the dialog's "Note" box (misspellings, line breaks and trailing spaces
// included: they are what users and documentation have always seen).
#pragma once

inline constexpr const char kLuminosityHelp[] =
    "Luminosity controls the compression of the tonal range, which has for effect to adjust the global "
    "luminosity level.\n"
    "Moving the slider to the right boosts shadows. Moving it to the left gives a more natural look.";
inline constexpr const char kStrengthHelp[] =
    "Strength controls the level of contrast enhancements.\n"
    "A value of 100 gives the maximum increase in both local and global contrast enhancements.";
inline constexpr const char kColorSaturationHelp[] =
    "Color Saturation controls the saturation of the RGB color channels.\n"
    "The higher the saturation, the more intense the color. The value affects each color channel equally.";
inline constexpr const char kWhitePointHelp[] =
    "White Point sets the value for the maximum on the output image.\n"
    "Moving the slider to the right increases global contrast. Moving it to the left reduces highlight "
    "clipping. ";
inline constexpr const char kBlackPointHelp[] =
    "Black Point sets the value for the minimum on the output image.\n"
    "Moving the slider to the right increases global contrast. Moving it to the left reduces shadow clipping. ";
inline constexpr const char kGammaHelp[] =
    "Gamma ddjusts the mid-tone of the tone mapped image, brightening or darkening the image globally.\n";
inline constexpr const char kMicrocontrastHelp[] = "Micro-contrast sets how much local details are accentuated.\n";
inline constexpr const char kMicroSmoothingHelp[] =
    "Micro-smoothing smoothes out local details enhancements.\n"
    "This has for effect of reducing low magnitude noise and tends to give a cleaner look to the output image.";
inline constexpr const char kColorTemperatureHelp[] =
    "Adjusts the color temperature of the ouptut image relative to the temperature of the HDR source image.";
inline constexpr const char kSaturationHighlightsHelp[] =
    "Adjusts the color saturation of the highlights relative to the value set with the Color Saturation slider.";
inline constexpr const char kSaturationShadowsHelp[] =
    "Adjusts the color saturation of the shadows relative to the value set with the Color Saturation slider.";
inline constexpr const char kHighlightsSmoothingHelp[] =
    "Reduces the contrast enhancements in the highlights. \n"
    "The value of the slider sets how much of the highlights range is affected.";
inline constexpr const char kShadowsSmoothingHelp[] =
    "Reduces the contrast enhancements in the shadows. The value of the slider sets how much of the shadows "
    "range is affected. ";
inline constexpr const char kShadowsClippingHelp[] =
    "Controls the clipping of the shadows. The value of the slider sets how much of the shadows range is "
    "clipped.";
