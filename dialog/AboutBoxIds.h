/* The About box template and its controls, shared by resources/AboutBox.rc
   and dialog/AboutBoxWin.cpp. Plain defines: the resource compiler reads
   this file too. */
#pragma once

#define IDD_ABOUT_BOX 16000

#define IDC_ABOUT_TITLE 100       /* the plug-in's name, in bold */
#define IDC_ABOUT_PURPOSE 101     /* what it does */
#define IDC_ABOUT_RESULT 102      /* what the result is good for */
#define IDC_ABOUT_SIXTEEN_BIT 103 /* that 16-bit images work too */
