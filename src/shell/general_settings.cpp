#include "shell/general_settings.h"

#include <commdlg.h>

#include <string>

#include "framework/page_worker.h"
#include "framework/paths.h"
#include "resources/resource.h"
#include "shell/main_dlg.h"
#include "shell/settings.h"

namespace {

// The options in screen order (their captions are the boxes' own texts): setting, whether the box
// is ticked when the page is made, and whether the first run stores a default for it: such a box
// always shows the stored value, ticked or not, so that the page shows what the program will do.
const struct OPTION {
    const char* pszSetting;
    bool bCreatedTicked;
    bool bShownAsStored;
} kOptions[CGSettingsDlg::kOptionCount] = {
    {"runhivorastartup", false, false},
    {"autoupdts", true, false},
    {"prompt", true, false},
    {"shutdown", false, false},
    {"autorpar", false, false},
    {"rstrpont", true, true},
    {"splshscrn", true, false},
    {"logscanResults", true, false},
};

// The order in which a shown page reads the settings back.
const int kReloadOrder[CGSettingsDlg::kOptionCount] = {3, 4, 5, 6, 1, 2, 7, 0};

// "(Not Recommended)" belongs to the automatic repair option.
constexpr int kAutoRepair = 4;

} // namespace

CGSettingsDlg::CGSettingsDlg(CHivoraDlg& main) : CDialog(IDD_GENERAL_SETTINGS), m_main(main) {}

BOOL CGSettingsDlg::OnInitDialog()
{
    SetBackground(IDB_GENERAL_BACKGROUND);
    // The picture shows this page's own sub-tab as the current one.
    SetAccessibleText("Settings", "General Settings", ROLE_SYSTEM_PROPERTYPAGE);
    m_captionFont = CreatePointFont("Arial", 10);
    for (int option = 0; option < kOptionCount; ++option) {
        // Box and caption are one window: one name, one focus mark, the caption clicks the box.
        SendMessageA(GetDlgItem(IDC_OPTION_CHECK_FIRST + option), WM_SETFONT,
                     reinterpret_cast<WPARAM>(m_captionFont.get()), FALSE);
        // Display only: the stored values stay as they are.
        if (kOptions[option].bShownAsStored)
            CheckItem(IDC_OPTION_CHECK_FIRST + option, ReadSettingInt(kOptions[option].pszSetting) != 0);
        else if (kOptions[option].bCreatedTicked)
            CheckItem(IDC_OPTION_CHECK_FIRST + option, true);
    }
    m_notRecommended.SubclassDlgItem(IDC_OPTION_NOT_RECOMMENDED, m_hWnd);
    StyleLabel(m_notRecommended, "Arial", 10, RGB(255, 0, 0), RGB(255, 255, 255));
    m_notRecommended.SetCaption("(Not Recommended)");

    m_buttons.Attach(m_hWnd);
    m_openLog.Bind(m_hWnd, IDC_OPEN_LOG_FOLDER, IDB_OPEN_LOG, IDB_OPEN_LOG_HOT);
    return TRUE;
}

void CGSettingsDlg::Store(int option) const
{
    WriteSettingInt(kOptions[option].pszSetting, IsItemChecked(IDC_OPTION_CHECK_FIRST + option) ? 1 : 0);
}

void CGSettingsDlg::OpenLogFolder() const
{
    // Lists the log folder; what the user picks there is not used.
    char file[MAX_PATH * 2] = "";
    const std::string start = ProgramFolder() + "Logs\\Logs";
    lstrcpynA(file, start.c_str(), sizeof file);
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = GetAncestor(m_hWnd, GA_ROOT);
    ofn.lpstrFilter = "All Files\0*.*\0";
    ofn.lpstrFile = file;
    ofn.nMaxFile = sizeof file;
    ofn.lpstrTitle = "Hivora - Select Files";
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_READONLY;
    const CModalScope modal;
    GetOpenFileNameA(&ofn);
}

bool CGSettingsDlg::OnCommand(int id, int code, HWND control)
{
    const int option = id - IDC_OPTION_CHECK_FIRST;
    if (option >= 0 && option < kOptionCount) {
        if (code == BN_CLICKED)
            Store(option);
        return true;
    }
    if (code != BN_CLICKED)
        return CDialog::OnCommand(id, code, control);
    if (id == IDC_OPEN_LOG_FOLDER) {
        OpenLogFolder();
        return true;
    }
    return CSettingsButtons::OnCommand(m_main, id) || CDialog::OnCommand(id, code, control);
}

bool CGSettingsDlg::OnNotify(NMHDR* header, LRESULT& result)
{
    if (header->code != LABEL_CLICKED || header->idFrom != IDC_OPTION_NOT_RECOMMENDED)
        return CDialog::OnNotify(header, result);
    const int box = IDC_OPTION_CHECK_FIRST + kAutoRepair;
    CheckItem(box, !IsItemChecked(box));
    Store(kAutoRepair);
    return true;
}

void CGSettingsDlg::OnShowWindow(bool show, UINT)
{
    // Only a page coming into view takes the Settings tab's look: a page being hidden is making
    // way for another tab's page.
    if (show)
        m_main.SetPressedTab(IDC_TAB_SETTINGS);
    // A stored 1 ticks its box; a 0 leaves the box as it is, unless the box shows the stored value.
    for (int option : kReloadOrder) {
        const bool on = ReadSettingInt(kOptions[option].pszSetting) != 0;
        if (on || kOptions[option].bShownAsStored)
            CheckItem(IDC_OPTION_CHECK_FIRST + option, on);
    }
}
