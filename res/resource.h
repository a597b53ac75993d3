// Resource and control identifiers, shared by the .rc and the program.
#pragma once

#define IDR_MAINFRAME 128
#define IDD_QVRSETUP_DIALOG 102
#define IDD_ERROR 131
#define IDI_STATE_SELECT 132
#define IDI_STATE_PRESS 133
#define IDI_STATE_DONE 134
#define IDI_STATE_ERROR 135

#define IDC_INSTALL 1000
#define IDC_UPDATE 1001
#define IDC_MODELS 1003
#define IDC_INSTALLED 1004
#define IDC_GRP_INSTALLATION 1005
#define IDC_ERROR_MESSAGE 1009
#define IDC_ERROR_CODE 1010
#define IDC_DRIVERVER 1011
#define IDC_DRIVER_VERSIONS 1012
#define IDC_STATUS 1013
#define IDC_RESULT 1014
#define IDC_STATE_ICON 1015
#define IDC_MONITORS 1016

#define IDC_STATIC (-1)
