/* The main dialog's template and control ids, shared by
   resources/ToneMappingDialog.rc, the dialog's code and the settings table.
   Plain defines: the resource compiler reads this file too. A slider's value
   label and caption take the two ids after the slider's. */
#pragma once

#define TM_DIALOG_TEMPLATE "ONDULODIALOG"

/* Buttons that end the dialog or act on the settings as a whole. IDOK (1)
   and IDCANCEL (2) are "&OK" and "&Cancel". */
#define IDC_PREVIOUS 3
#define IDC_HELP_BUTTON 4
#define IDC_DEFAULT 310
#define IDC_LOAD 320
#define IDC_SAVE 330

/* The preview: its area, its size buttons, "Show Original" and the histogram. */
#define IDC_PREVIEW_FRAME 5
#define IDC_ZOOM_SMALL 201
#define IDC_ZOOM_MEDIUM 202
#define IDC_ZOOM_LARGE 203
#define IDC_SHOW_ORIGINAL 350
#define IDC_HISTOGRAM_FRAME 400

/* The 360-degree flag. */
#define IDC_PANORAMA 300

/* The hover help: its group box and its text. */
#define IDC_NOTE_GROUP 550
#define IDC_HELP_TEXT 500

/* The tab control over the rows of the "Tone", "Color", "Micro" and "S/H" pages. */
#define IDC_TABS 700

/* Group boxes and captions nobody addresses. */
#define IDC_UNNAMED (-1)

/* The sliders, always visible, each followed by its value label and caption. */
#define IDC_LUMINOSITY 100
#define IDC_LUMINOSITY_VALUE 101
#define IDC_LUMINOSITY_CAPTION 102
#define IDC_STRENGTH 110
#define IDC_STRENGTH_VALUE 111
#define IDC_STRENGTH_CAPTION 112
#define IDC_COLOR_SATURATION 120
#define IDC_COLOR_SATURATION_VALUE 121
#define IDC_COLOR_SATURATION_CAPTION 122

/* The Light Smoothing radio buttons, "Very Low" to "Very High", then the
   level's name and the group's caption. */
#define IDC_SMOOTHING_VERY_LOW 150
#define IDC_SMOOTHING_LOW 151
#define IDC_SMOOTHING_MEDIUM 152
#define IDC_SMOOTHING_HIGH 153
#define IDC_SMOOTHING_VERY_HIGH 154
#define IDC_SMOOTHING_VALUE 155
#define IDC_SMOOTHING_CAPTION 156

/* "Tone" page. */
#define IDC_WHITE_POINT 130
#define IDC_WHITE_POINT_VALUE 131
#define IDC_WHITE_POINT_CAPTION 132
#define IDC_BLACK_POINT 140
#define IDC_BLACK_POINT_VALUE 141
#define IDC_BLACK_POINT_CAPTION 142
#define IDC_GAMMA 180
#define IDC_GAMMA_VALUE 181
#define IDC_GAMMA_CAPTION 182

/* "Color" page. */
#define IDC_COLOR_TEMPERATURE 210
#define IDC_COLOR_TEMPERATURE_VALUE 211
#define IDC_COLOR_TEMPERATURE_CAPTION 212
#define IDC_SATURATION_HIGHLIGHTS 220
#define IDC_SATURATION_HIGHLIGHTS_VALUE 221
#define IDC_SATURATION_HIGHLIGHTS_CAPTION 222
#define IDC_SATURATION_SHADOWS 230
#define IDC_SATURATION_SHADOWS_VALUE 231
#define IDC_SATURATION_SHADOWS_CAPTION 232

/* "Micro" page. */
#define IDC_MICROCONTRAST 160
#define IDC_MICROCONTRAST_VALUE 161
#define IDC_MICROCONTRAST_CAPTION 162
#define IDC_MICRO_SMOOTHING 170
#define IDC_MICRO_SMOOTHING_VALUE 171
#define IDC_MICRO_SMOOTHING_CAPTION 172

/* "S/H" page. */
#define IDC_HIGHLIGHTS_SMOOTHING 240
#define IDC_HIGHLIGHTS_SMOOTHING_VALUE 241
#define IDC_HIGHLIGHTS_SMOOTHING_CAPTION 242
#define IDC_SHADOWS_SMOOTHING 250
#define IDC_SHADOWS_SMOOTHING_VALUE 251
#define IDC_SHADOWS_SMOOTHING_CAPTION 252
#define IDC_SHADOWS_CLIPPING 260
#define IDC_SHADOWS_CLIPPING_VALUE 261
#define IDC_SHADOWS_CLIPPING_CAPTION 262
