#pragma once

// Shared by quadrelo.rc and the code: the resources and the controls' identifiers.
#define IDI_QUADRELO 1
#define IDI_FOLDER_OPEN 2

#define IDD_FRMENTRADA 100
#define IDD_FRMMSG 101

// frmEntrada's controls.
#define IDC_CMDPROCESAR 1001
#define IDC_COMMAND2 1002
#define IDC_FRAME1 1003
#define IDC_FRAME2 1004
#define IDC_TBSALIDA 1005
#define IDC_TBENTRADA 1006
#define IDC_LABEL1 1007
#define IDC_IMAGE1 1008

// frmMsg's controls.
#define IDC_MSG_FRAME1 1101
#define IDC_CMDACEPTAR 1102
#define IDC_LABPROCTERMINADO 1103

// The layout is given in twips (1/1440 inch) and the templates in dialog units: a quarter of the
// dialog font's average character width across, an eighth of its height down. For the dialog
// font, 8-point MS Shell Dlg, those are 6 and 13 pixels at 96 DPI, where a pixel is 15 twips:
// 22.5 twips a unit across and 24.375 down, rounded to the nearest unit.
#define DLU_X(twips) (((twips)*2 + 22) / 45)
#define DLU_Y(twips) (((twips)*8 + 97) / 195)
