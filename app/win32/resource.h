// Control ids of the stub's dialogs, shared by the resource script and the dialog code.
#pragma once

#define IDC_DESTINATION_EDIT 1007
#define IDC_BROWSE 1008
#define IDC_PROGRESS_PLACE 1010
#define IDC_EXTRACT_TO 1018
#define IDC_EXTRACTING 1019
#define IDC_ITEM_NAME 1020
#define IDC_NOTICE 1021
#define IDC_PASSWORD_PROMPT 1030
#define IDC_PASSWORD_EDIT 1031
#define IDC_PROGRESS_BAR 2000
#define IDC_MESSAGE 1101
#define IDC_LICENSE_TEXT 1102
