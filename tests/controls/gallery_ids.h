#pragma once

// The control gallery's dialogs and controls, shared by its resource script, the gallery and the
// tests that drive it.
#define IDD_GALLERY 3000
#define IDD_TEST_HOST 3001

#define IDC_GAL_STATUS 3100
#define IDC_GAL_SPINNER 3101
#define IDC_GAL_UPDATE_ANIMATION 3102
#define IDC_GAL_BAR 3103
#define IDC_GAL_BUTTON_SCAN 3110
#define IDC_GAL_BUTTON_OK 3111
#define IDC_GAL_BUTTON_CAPTION 3112
#define IDC_GAL_BUTTON_DEFAULT 3113
#define IDC_GAL_BUTTON_NONE 3114
#define IDC_GAL_MESSAGE 3115
#define IDC_GAL_LABEL_STYLED 3120
#define IDC_GAL_LABEL_BOLD 3121
#define IDC_GAL_LABEL_WEB 3122
#define IDC_GAL_LABEL_NOTIFY 3123
#define IDC_GAL_LABEL_FLASH 3124
#define IDC_GAL_LABEL_RAISED 3125
#define IDC_GAL_LABEL_ROTATED 3126
#define IDC_GAL_LABEL_OPAQUE 3127
#define IDC_GAL_LABEL_MAIL 3128

#define IDC_HOST_BUTTON 3200
#define IDC_HOST_STATIC 3201
#define IDC_HOST_LABEL 3202

// Sent to the gallery: refresh the status text now.
#define WM_GALLERY_REFRESH (WM_APP + 1)
#define GALLERY_TITLE "Hivora Control Gallery"
