#pragma once

// Resource identifiers of the main program: dialog templates, controls, bitmaps and the icon.
// Plain macros so that the resource compiler reads this file too. The string table's numbers
// are in scan/problem_texts.h.

#define IDR_MAINFRAME 128

// Dialog templates
#define IDD_ABOUTBOX 100
#define IDD_HIVORA_DIALOG 102
#define IDD_SCANSTEP1 107
#define IDD_SCANSTEP2 108
#define IDD_RESULTS 109
#define IDD_CATEGORY_PANEL 110
#define IDD_GENERAL_SETTINGS 111
#define IDD_IGNORE_SETTINGS 112
#define IDD_BACKUP 113
#define IDD_UPDATES 114
#define IDD_STATISTICS 115
#define IDD_SCHEDULE_SETTINGS 116
#define IDD_SPLASH 117

// Bitmaps: the list control's images (five 16x16 cells on magenta)
#define IDB_HTMLLIST_IMAGES 135
// Backgrounds (titles and captions drawn in), drawn at the top left corner of their window
#define IDB_MAIN_BACKGROUND 136
#define IDB_SPLASH 137
#define IDB_PANEL_BACKGROUND 138
#define IDB_SCANSTEP1_BACKGROUND 139
#define IDB_SCANSTEP2_BACKGROUND 140
#define IDB_STATISTICS_BACKGROUND 141
#define IDB_ABOUT_BACKGROUND 142
#define IDB_GENERAL_BACKGROUND 143
#define IDB_SCHEDULE_BACKGROUND 144
#define IDB_IGNORE_BACKGROUND 155
#define IDB_BACKUP_BACKGROUND 162
#define IDB_UPDATES_BACKGROUND 165
#define IDB_RESULTS_BACKGROUND 215
// Buttons: normal, hot and pressed forms (where a name has two, the pressed form is the normal one)
#define IDB_TAB_SCANNOW 145
#define IDB_TAB_SCANNOW_HOT 146
#define IDB_TAB_SCANNOW_PRESSED 147
#define IDB_TAB_SETTINGS 148
#define IDB_TAB_SETTINGS_HOT 149
#define IDB_TAB_SETTINGS_PRESSED 150
#define IDB_TAB_BACKUP 151
#define IDB_TAB_BACKUP_HOT 152
#define IDB_TAB_BACKUP_PRESSED 153
#define IDB_TAB_GENERAL 156
#define IDB_TAB_GENERAL_HOT 157
#define IDB_TAB_IGNORE 158
#define IDB_TAB_IGNORE_HOT 159
#define IDB_TAB_SCHEDULE 160
#define IDB_TAB_SCHEDULE_HOT 161
#define IDB_LINK_HELP 163
#define IDB_LINK_HELP_HOT 164
#define IDB_LINK_ABOUT 166
#define IDB_LINK_ABOUT_HOT 167
#define IDB_QUICK_SCAN 168
#define IDB_QUICK_SCAN_HOT 169
#define IDB_SCAN_SELECTED 170
#define IDB_SCAN_SELECTED_HOT 171
#define IDB_SCAN_STANDARD 172
#define IDB_SCAN_STANDARD_HOT 173
#define IDB_SCAN_FULL 174
#define IDB_SCAN_FULL_HOT 175
#define IDB_STOP 176
#define IDB_STOP_HOT 177
#define IDB_NEXT 178
#define IDB_NEXT_HOT 179
#define IDB_CLEAR_STATISTICS 180
#define IDB_CLEAR_STATISTICS_HOT 181
#define IDB_REPAIR 182
#define IDB_REPAIR_HOT 183
#define IDB_OPEN_LOG 184
#define IDB_BACK 185
#define IDB_BACK_HOT 186
#define IDB_OPEN_LOG_HOT 187
#define IDB_MANAGE_SCHEDULE 188
#define IDB_MANAGE_SCHEDULE_HOT 189
// A blank light button for captions drawn at run time (caption mode)
#define IDB_BLANK_BUTTON 190
#define IDB_BLANK_BUTTON_HOT 193
#define IDB_BLANK_BUTTON_PRESSED 194
#define IDB_OK 191
#define IDB_OK_HOT 192
#define IDB_IGNORE_REMOVE 195
#define IDB_IGNORE_REMOVE_HOT 196
#define IDB_RESTORE 197
#define IDB_BACKUP_REMOVE_HOT 198
#define IDB_BACKUP_REMOVE 199
#define IDB_RESTORE_HOT 200
#define IDB_UPDATE 209
#define IDB_UPDATE_HOT 210
#define IDB_STATISTICS 211
#define IDB_STATISTICS_HOT 212
#define IDB_CHECK_UPDATES 217
#define IDB_CHECK_UPDATES_HOT 218

// Main window (the three large tabs are 1000 to 1002)
#define IDC_TAB_SCANNOW 1000
#define IDC_TAB_SETTINGS 1001
#define IDC_TAB_BACKUP 1002
#define IDC_LINK_HELP 1003
#define IDC_LINK_ABOUT 1004

// Buttons shared by the pages' top right and bottom right corners
#define IDC_PAGE_UPDATE 1000
#define IDC_PAGE_STATISTICS 1001
#define IDC_PAGE_OK 1002

// Category panel: check box and caption of row r (screen order) are FIRST + r
#define IDC_CATEGORY_CHECK_FIRST 1300
#define IDC_CATEGORY_CAPTION_FIRST 1320
#define IDC_QUICK_SCAN 1340

// Scan step 1
#define IDC_SCAN_SELECTED 1069
#define IDC_SCAN_STANDARD 1070
#define IDC_SCAN_FULL 1018

// Scan step 2: name and count labels of category t (REGPROBLEM_TYPE) are FIRST + t
#define IDC_SCAN_BACK 1000
#define IDC_SCAN_STOP 1035
#define IDC_SCAN_NEXT 1068
#define IDC_SCAN_NAME_FIRST 1400
#define IDC_SCAN_COUNT_FIRST 1420
#define IDC_SCAN_PATH 1440
#define IDC_SCAN_TOTAL 1441
#define IDC_SCAN_CURRENT 1442
#define IDC_SCAN_CAPTION 1443
#define IDC_SCAN_RESULT 1444
#define IDC_SCAN_RESULT_COUNT 1445
#define IDC_SCAN_MESSAGE 1446
#define IDC_SCAN_ANIMATION 1447
#define IDC_SCAN_PROGRESS 1448

// Results page (the list control is created in code, ID 54321)
#define IDC_RESULTS_UPDATE 1000
#define IDC_RESULTS_STATISTICS 1001
#define IDC_RESULTS_BACK 1002
#define IDC_RESULTS_REPAIR 1018

// Settings pages: sub-tabs, and the Update button of their top right corner
#define IDC_TAB_GENERAL 1074
#define IDC_TAB_IGNORE 1075
#define IDC_TAB_SCHEDULE 1076
#define IDC_SETTINGS_UPDATE 1099

// General settings: check box and caption of option i (screen order) are FIRST + i
#define IDC_OPTION_CHECK_FIRST 1600
#define IDC_OPTION_CAPTION_FIRST 1620
#define IDC_OPTION_NOT_RECOMMENDED 1640
#define IDC_OPEN_LOG_FOLDER 1641

// Ignore list page
#define IDC_IGNORE_REMOVE 1000
#define IDC_IGNORE_LIST 1090

// Schedule page
#define IDC_SCHEDULE_LABEL 1650
#define IDC_SCHEDULE_LIST 1651
#define IDC_MANAGE_SCHEDULE 1652

// Backup page
#define IDC_BACKUP_REMOVE 1000
#define IDC_BACKUP_RESTORE 1001
#define IDC_BACKUP_UPDATE 1002
#define IDC_BACKUP_STATISTICS 1018
#define IDC_BACKUP_LIST 1094
#define IDC_BACKUP_CAUTION 1095

// Updates page
#define IDC_UPDATES_CHECK 1000
#define IDC_UPDATES_OK 1001
#define IDC_UPDATES_STATISTICS 1108
#define IDC_UPDATES_STATUS 1175
#define IDC_UPDATES_ANIMATION 1177

// Statistics page: the labels of table row r are FIRST + r
#define IDC_STAT_UPDATE 1000
#define IDC_STAT_STATISTICS 1001
#define IDC_STAT_OK 1002
#define IDC_STAT_CLEAR 1003
#define IDC_STAT_ROW_CAPTION_FIRST 1500
#define IDC_STAT_ROW_FOUND_FIRST 1520
#define IDC_STAT_ROW_CLEANED_FIRST 1540
#define IDC_STAT_ROW_IGNORED_FIRST 1560
#define IDC_STAT_DATE 1580
#define IDC_STAT_TIME 1581
#define IDC_STAT_FOUND_CAPTION 1582
#define IDC_STAT_CLEANED_CAPTION 1583
#define IDC_STAT_FOUND_TOTAL 1584
#define IDC_STAT_CLEANED_TOTAL 1585
#define IDC_STAT_VERSION 1586
#define IDC_STAT_UPDATED 1587

// About page
#define IDC_ABOUT_VERSION 1660

// The program's own schedule dialog (where the system offers no schedule page)
#define IDD_SCHEDULE_DIALOG 118
#define IDC_SCHEDULE_KIND 1700
#define IDC_SCHEDULE_TIME 1701
#define IDC_SCHEDULE_DATE 1702
#define IDC_SCHEDULE_GROUP 1703
#define IDC_SCHEDULE_EVERY_CAPTION 1704
#define IDC_SCHEDULE_EVERY 1705
#define IDC_SCHEDULE_EVERY_SPIN 1706
#define IDC_SCHEDULE_EVERY_UNIT 1707
#define IDC_SCHEDULE_PREVIEW 1708
#define IDC_SCHEDULE_WEEK 1709
#define IDC_SCHEDULE_DAY_FIRST 1710
