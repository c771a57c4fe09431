// The numbers of korun04's resources, controls, commands, timers and window messages, grouped by dialog.
// Read by windres (korun04.rc), by simwin's resource reader, by the tool's code and by the tests, so that
// every number is written once. Plain #defines only: the resource compiler reads this file too.
#pragma once

// --- Resources --------------------------------------------------------------------------------------------
#define IDI_KORUN04 1          // icon 1: the tool's icon
#define IDD_ABOUT 114          // About box
#define IDD_LOADING 115        // loading dialog
#define IDD_EXTRA_INFO 116     // diagnostic details dialog
#define IDM_CONTEXT 117        // the selection list's context menu
#define IDB_SMALL_PRINTERS 116 // eight 18-pixel printer images
#define IDB_LARGE_PRINTERS 117 // eight 32-pixel printer images
#define IDB_ROW_STATES 119     // three 16-pixel row images: pending, done, current
#define IDD_OPTIONS 118        // the options of the command line (/?)
// The main window and the two pages keep their template names: "IDD_MAIN_NOBMP", "IDD_SELECT", "IDD_REMOVE".

// A control that no code addresses (windows.h leaves this to the resource editor's headers).
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// --- Main window "IDD_MAIN_NOBMP" -------------------------------------------------------------------------
#define IDC_PAGE_FRAME 1003    // hidden frame that marks the page area
#define IDC_SEPARATOR 1005     // etched line above the buttons
#define IDC_UNINSTALL 1080     // Uninstall (default button)
#define IDC_EXIT 1052          // Exit, after the removal Close
#define IDM_ABOUT 156          // system-menu command that opens the About box

// Messages between the pages and the main window.
#define UM_ENABLE_UNINSTALL 1127  // wParam 1 enable, 0 disable the Uninstall button
#define UM_START_REMOVAL 1128     // the selection page's context menu starts the removal
#define UM_REMOVAL_FINISHED 1129  // the removal page has ended the removal

// --- Loading dialog 115 -----------------------------------------------------------------------------------
#define IDC_LOADING_ICON 1082
#define IDC_LOADING_TEXT 1083
#define IDC_LOADING_PROGRESS 1023
#define IDC_LOADING_HIDDEN 1086
#define IDT_LOADING 1126       // loading timer: 400 ms, 200 ms after the user declined to abort

// --- Selection page "IDD_SELECT" --------------------------------------------------------------------------
#define IDC_SELECT_CAPTION 1084
#define IDC_PRINTER_LIST 1020
#define IDC_SELECT_WARNING 1085

// Context menu 117, first popup.
#define IDM_DELETE_PRINTERS 40009
#define IDM_VIEW_LARGE_ICONS 40004
#define IDM_VIEW_SMALL_ICONS 40005
#define IDM_VIEW_LIST 40006
#define IDM_VIEW_DETAILS 40007
#define IDM_SELECT_ALL 40010
#define IDM_OTHER_DETAILS 40012

// --- Removal page "IDD_REMOVE" ----------------------------------------------------------------------------
#define IDC_ROW_LABEL_FIRST 1087  // labels of the nine progress rows: 1087 to 1095
#define IDC_ROW_ICON_FIRST 1096   // their state icons: 1096 to 1104
#define IDT_REMOVAL 1130          // removal timer: 200 ms

// --- About box 114 ----------------------------------------------------------------------------------------
#define IDC_ABOUT_NOTICE 1115
#define IDC_ABOUT_LIST 1020

// --- Options window 118 (/?) -----------------------------------------------------------------------------
#define IDC_OPTIONS_TEXT 1120     // the options, read-only: "OPTION<tab>TEXT" lines
#define OPTIONS_TAB_STOP 112      // the tab stop of the text, in dialog units: where the texts begin

// --- Diagnostic details dialog 116 ------------------------------------------------------------------------
#define IDC_EXTRA_LIST 1108
#define IDC_EXTRA_THIS_PROFILE 1017
#define IDC_CATEGORY_DELETE_INI 1097
#define IDC_CATEGORY_DELETE_LOAD_RUN 1098
#define IDC_CATEGORY_DRIVERS 1099
#define IDC_CATEGORY_FILES 1100
#define IDC_CATEGORY_HOOKS 1101
#define IDC_CATEGORY_MONITORS 1102
#define IDC_CATEGORY_REGISTRY 1103
#define IDC_CATEGORY_PRINT_PROCESSORS 1104
#define IDC_CATEGORY_SERVICES 1105
#define IDC_CATEGORY_SHORTCUTS 1106
#define IDC_CATEGORY_UNSELF_REGISTER 1107
#define IDC_CATEGORY_DIRECTORIES 1109

// --- Strings (the string table, strings.rc) ---------------------------------------------------------------
#define IDS_RUN_KEY 51            // the registry path of the start-up values
#define IDS_NO_ADMIN_RIGHTS 151
#define IDS_SPOOLER_UNSTABLE 152
#define IDS_CREATING_DATABASE 153
#define IDS_ABOUT_MENU 156
#define IDS_NO_SCRIPTS 158
#define IDS_DEFAULT_PRINTER_GONE 159
#define IDS_NEW_DEFAULT_PRINTER 160
#define IDS_CAPTION 161
#define IDS_BTN_UNINSTALL 162
#define IDS_BTN_EXIT 163
#define IDS_LOADING_TITLE 164
#define IDS_ABOUT_TITLE 165
#define IDS_LEGAL_NOTICE 167
#define IDS_BTN_CLOSE 168
#define IDS_ROW_FIRST 169        // the nine progress rows: 169 to 177
#define IDS_SELECT_CAPTION 178
#define IDS_SELECT_WARNING 179
#define IDS_COLUMN_NAME 180
#define IDS_COLUMN_DRIVER 181
#define IDS_COLUMN_LOCATION 182
#define IDS_LOCAL 183
#define IDS_COLUMN_DEFAULT 184
#define IDS_COLUMN_FAMILY 185
#define IDS_COLUMN_MASKED_NAME 186
#define IDS_YES 187
#define IDS_NO 188
#define IDS_NOT_APPLICABLE 189
#define IDS_ABOUT_VERSION 195
#define IDS_ABOUT_BUILD_STAMP 196
#define IDS_ABOUT_PLATFORM 197
#define IDS_LOADING_PLACEHOLDER 198
#define IDS_UNINSTALL_COMPLETE 199
#define IDS_RESTART_QUESTION 200
#define IDS_RESTART_FAILED 201
#define IDS_ABORT_QUESTION 202
#define IDS_SPOOLER_NOT_RESPONDING 206
// The tool's own texts beyond the family's table, from 300 on.
#define IDS_UNINSTALL_INCOMPLETE 300  // the end of a removal that left items: their count and the log
#define IDS_HELP_FIRST 301            // the options (/?), a group each: 301 to 306, "OPTION\tTEXT" lines
#define IDS_HELP_COUNT 6
#define IDS_OPTIONS_TITLE 307         // the title of the options window
// The backup set, the restore and the finishing of a removal cut short: 310 on.
#define IDS_BACKUP_FAILED 310    // the backup set cannot be written: the reason and the log
#define IDS_RESUME_QUESTION 311  // a removal was cut short: its printers and its set (a line of its own); finish it now?
#define IDS_RESTORE_RESULT 312   // what the restore put back: its counts and the log
#define IDS_RESTORE_RESTART 313  // the restore finishes after a restart
#define IDS_BACKUP_FAILED_NOTHING_REMOVED 314  // as 310, before anything was removed: no /RESUME to advise
#define IDS_BACKUP_CAUSE_SPACE 315   // why the backup set cannot be written: no space left on its drive
#define IDS_BACKUP_CAUSE_RIGHTS 316  // ... access to its folder is denied
#define IDS_BACKUP_CAUSE_OTHER 317   // ... another error: its code
#define IDS_RESUME_REFUSED 318       // the set of a removal cut short is damaged: it is not finished, nothing removed
// The capture (/CAPTURE): 320 on.
#define IDS_CAPTURE_FOLDER_USED 320  // the capture's folder is a file or already holds files: its full path
