#pragma once

// The problem and category texts, shared by the string table and the programs that show them
// without loading resources. Plain macros so that the resource compiler can read this file.

#define IDS_PRODUCT_NAME 102
#define IDS_ERRORS_FOUND 103
#define IDS_IGNORE_LINK 104
#define IDS_CATEGORY_FIRST 105
#define IDS_DESC_FILE 120
#define IDS_DESC_UNINSTALL 121
#define IDS_DESC_SHARED_DLL 123
#define IDS_DESC_HELP_FILE 125
#define IDS_DESC_PROGRAM 126
#define IDS_DESC_EMPTY_KEY 129

#define TXT_ERRORS_FOUND "%1!d! Error(s) found"
#define TXT_IGNORE_LINK "<font color=#0000ff><u>Ignore</u><font>"

#define TXT_CAT_0 "COM/ActiveX Entries"
#define TXT_CAT_1 "Uninstall Entries"
#define TXT_CAT_2 "Font Entries"
#define TXT_CAT_3 "Shared Dlls"
#define TXT_CAT_4 "Application Paths"
#define TXT_CAT_5 "Help File Information"
#define TXT_CAT_6 "Windows Startup Items"
#define TXT_CAT_7 "File Path References"
#define TXT_CAT_8 "Program Short Cuts"
#define TXT_CAT_9 "Empty Registry Keys"
#define TXT_CAT_10 "File Associations"
#define TXT_CAT_11 "Sound && App Events"
#define TXT_CAT_12 "Invalid Class Keys"
#define TXT_CAT_13 "Type Libraries"
#define TXT_CAT_14 "Deep Scan"

#define TXT_DESC_FILE "<font color=#ff0000><b>The file referenced doesn't exist.</b></font><br>Key:%2<br>%3=%4"
#define TXT_DESC_UNINSTALL \
    "<font color=#ff0000><b>The uninstall key is invalid. The file referenced (%1) doesn't exist.</b></font><br><b>Key:</b> %2<br>%3=%4"
#define TXT_DESC_SHARED_DLL "<font color=#ff0000><b>The file (%1) doesn't exist.</b></font><br><b> Key:</b>%2<br>  Value: %3"
#define TXT_DESC_HELP_FILE \
    "<font color=#ff0000><b>The help file referenced (%1\\%2) doesn't exist.</b></font><br><b>Key:</b> %3<br>%4=%5"
#define TXT_DESC_PROGRAM \
    "<font color=#ff0000><b>The program referenced doesn't exist.</b></font><br><b>Key:</b> %1<br>%2=%3"
#define TXT_DESC_EMPTY_KEY "There are one or more empty registry keys.<br>Key:%1 "
#define TXT_UNUSED "S"
