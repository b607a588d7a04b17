// The control gallery: every custom control with realistic data, for the eye and for the tests
// that drive it. Its hidden status label reports the list's state and the notifications seen.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "controls/html_list.h"
#include "controls/label.h"
#include "controls/picture_ex.h"
#include "controls/xp_button.h"
#include "framework/com_ptr.h"
#include "framework/dialog.h"
#include "framework/format.h"
#include "framework/msgbox.h"
#include "framework/paths.h"
#include "gallery_ids.h"
#include "resources/resource.h"
#include "scan/problem.h"

namespace {

struct SAMPLE {
    REGPROBLEM_TYPE type;
    const char* key;
    const char* valueName;
    const char* data;
    int selected;
};

const SAMPLE kSamples[] = {
    {RPT_COM_ACTIVEX, "HKEY_CLASSES_ROOT\\CLSID\\{6BF52A52-394A-11D3-B153-00C04F79FAA6}\\InprocServer32", "",
     "C:\\Program Files\\Old Player\\oldplay.dll,2", 1},
    {RPT_COM_ACTIVEX, "HKEY_CLASSES_ROOT\\CLSID\\{0002DF01-0000-0000-C000-000000000046}\\LocalServer32", "",
     "C:\\Program Files\\Browser\\browse.exe", 1},
    {RPT_COM_ACTIVEX, "HKEY_CLASSES_ROOT\\\\AppID\\{1A2B3C4D-0000-0000-0000-00000000ABCD}", "AppID",
     "C:\\Windows\\System32\\gone.dll", 1},
    {RPT_UNINSTALL, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\PhotoTool",
     "UninstallString", "C:\\Program Files\\PhotoTool\\uninst.exe", 1},
    {RPT_UNINSTALL, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{AB12-CD34}",
     "DisplayIcon", "C:\\Program Files\\Old Suite\\suite.ico", 0},
    {RPT_SHARED_DLLS, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs",
     "C:\\Program Files\\Common Files\\Vendor\\vshared.dll", "", 0},
};

const REGPROBLEM_TYPE kCategories[] = {RPT_COM_ACTIVEX, RPT_UNINSTALL, RPT_FONTS, RPT_SHARED_DLLS};

class CGalleryDlg : public CDialog {
public:
    CGalleryDlg() : CDialog(IDD_GALLERY) {}

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    bool OnNotify(NMHDR* header, LRESULT& result) override;
    void OnTimer(UINT_PTR id) override;
    bool OnEraseBkgnd(HDC dc) override;
    INT_PTR DialogProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void FillList();
    void RefreshStatus();

    CHTMLListCtrl m_list;
    std::vector<std::unique_ptr<CScanCategory>> m_categories;
    CPictureEx m_spinner;
    CPictureEx m_updateAnimation;
    CPictureEx m_bar;
    CXPButton m_scan;
    CXPButton m_ok;
    CXPButton m_caption;
    CXPButton m_default;
    CXPButton m_none;
    CLabel m_styled;
    CLabel m_bold;
    CLabel m_web;
    CLabel m_notify;
    CLabel m_flash;
    CLabel m_raised;
    CLabel m_rotated;
    CLabel m_opaque;
    CLabel m_mail;
    std::string m_strNotes;
    std::string m_strLabelNotes;
};

BOOL CGalleryDlg::OnInitDialog()
{
    RECT listRect{12, 44, 700, 620};  // as wide as the results page's list
    m_list.Create(listRect, m_hWnd);
    m_list.SetExtendedStyle(HTMLLIST_STYLE_CHECKBOX | HTMLLIST_STYLE_GRIDLINES);
    FillList();

    const std::string folder = ProgramFolder();
    m_spinner.SubclassDlgItem(IDC_GAL_SPINNER, m_hWnd);
    m_updateAnimation.SubclassDlgItem(IDC_GAL_UPDATE_ANIMATION, m_hWnd);
    m_bar.SubclassDlgItem(IDC_GAL_BAR, m_hWnd);
    if (m_spinner.Load(folder + "progress-General.gif"))
        m_spinner.Draw();
    if (m_updateAnimation.Load(folder + "update animation.gif"))
        m_updateAnimation.Draw();
    if (m_bar.Load(folder + "progress-bar.gif"))
        m_bar.Draw();

    m_scan.SubclassDlgItem(IDC_GAL_BUTTON_SCAN, m_hWnd);
    m_scan.SetBitmaps(IDB_SCAN_SELECTED, IDB_SCAN_SELECTED_HOT, IDB_SCAN_SELECTED);
    m_ok.SubclassDlgItem(IDC_GAL_BUTTON_OK, m_hWnd);
    m_ok.SetBitmaps(IDB_OK, IDB_OK_HOT, IDB_OK);
    m_caption.SubclassDlgItem(IDC_GAL_BUTTON_CAPTION, m_hWnd);
    m_caption.SetBitmaps(IDB_BLANK_BUTTON, IDB_BLANK_BUTTON_HOT, IDB_BLANK_BUTTON_PRESSED);
    m_caption.SetCaptionMode(true);
    m_default.SubclassDlgItem(IDC_GAL_BUTTON_DEFAULT, m_hWnd);
    m_default.SetBitmaps(IDB_BLANK_BUTTON, IDB_BLANK_BUTTON_HOT, IDB_BLANK_BUTTON_PRESSED);
    m_none.SubclassDlgItem(IDC_GAL_BUTTON_NONE, m_hWnd);

    m_styled.SubclassDlgItem(IDC_GAL_LABEL_STYLED, m_hWnd);
    StyleLabel(m_styled, "Arial", 8, RGB(0, 0, 0), RGB(255, 255, 255));
    m_bold.SubclassDlgItem(IDC_GAL_LABEL_BOLD, m_hWnd);
    StyleLabel(m_bold, "Arial", 10, RGB(23, 54, 93), RGB(255, 255, 255));
    m_bold.SetBold(true);
    m_web.SubclassDlgItem(IDC_GAL_LABEL_WEB, m_hWnd);
    StyleLabel(m_web, "Arial", 9, RGB(46, 111, 183), RGB(255, 255, 255));
    m_web.SetUnderline(true).SetWebLink(true, false).SetHandCursor(LoadCursorA(nullptr, IDC_HAND));
    m_web.SetLinkTarget("http://www.hivora.example/");
    m_notify.SubclassDlgItem(IDC_GAL_LABEL_NOTIFY, m_hWnd);
    StyleLabel(m_notify, "Arial", 9, RGB(240, 150, 46), RGB(255, 255, 255));
    m_notify.SetUnderline(true).SetWebLink(true, true);
    m_flash.SubclassDlgItem(IDC_GAL_LABEL_FLASH, m_hWnd);
    StyleLabel(m_flash, "Arial", 9, RGB(195, 10, 10), RGB(255, 255, 255));
    m_flash.SetTextFlash(true);
    m_raised.SubclassDlgItem(IDC_GAL_LABEL_RAISED, m_hWnd);
    StyleLabel(m_raised, "Arial", 11, RGB(23, 54, 93), RGB(255, 255, 255));
    m_raised.SetBold(true).SetRaisedTextColour(RGB(200, 210, 225)).SetRaisedText(true, true);
    m_opaque.SubclassDlgItem(IDC_GAL_LABEL_OPAQUE, m_hWnd);
    m_opaque.SetFaceName("Arial").SetPointSize(8).SetThinBorder(true);
    m_opaque.SetBackColour(RGB(227, 236, 245));
    m_opaque.SetEraseColour(RGB(227, 236, 245));
    m_mail.SubclassDlgItem(IDC_GAL_LABEL_MAIL, m_hWnd);
    StyleLabel(m_mail, "Arial", 9, RGB(46, 111, 183), RGB(255, 255, 255));
    m_mail.SetMailLink(true, true);
    m_rotated.SubclassDlgItem(IDC_GAL_LABEL_ROTATED, m_hWnd);
    StyleLabel(m_rotated, "Arial", 12, RGB(240, 150, 46), RGB(255, 255, 255));
    m_rotated.SetBold(true).SetAngle(90, true);

    RefreshStatus();
    SetTimer(m_hWnd, 1, 100, nullptr);
    return TRUE;
}

void CGalleryDlg::FillList()
{
    g_arrProblems.clear();
    for (const SAMPLE& sample : kSamples) {
        auto problem = std::make_unique<CRegistryProblem>(sample.key, sample.valueName, sample.data, sample.type, 0);
        problem->m_bSelected = sample.selected;
        g_arrProblems.push_back(std::move(problem));
    }
    for (REGPROBLEM_TYPE type : kCategories) {
        auto category = std::make_unique<CScanCategory>();
        category->m_strName = CategoryInfo(type).pszResultsName;
        category->m_nType = type;
        for (const auto& problem : g_arrProblems) {
            if (problem->m_nType != type)
                continue;
            ++category->m_nCount2;
            category->m_nCount += problem->m_bSelected;
        }
        m_list.InsertItem(category.get(), category->m_strName, HTMLLIST_HEADER);
        for (const auto& problem : g_arrProblems) {
            if (problem->m_nType == type)
                m_list.InsertItem(problem.get(), DescribeProblem(*problem), HTMLLIST_PROBLEM);
        }
        m_categories.push_back(std::move(category));
    }
}

void CGalleryDlg::RefreshStatus()
{
    // Rows record where they were drawn: draw first.
    UpdateWindow(m_list.GetSafeHwnd());
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL;
    GetScrollInfo(m_list.GetSafeHwnd(), SB_VERT, &si);
    std::string status = Format("rows=%d sel=%d scroll=%d max=%d page=%u owned=%d notes=%s labels=%s cats=",
                                m_list.GetItemCount(), m_list.GetSelectedItem(), si.nPos, si.nMax, si.nPage,
                                static_cast<int>(g_arrProblems.size()), m_strNotes.c_str(), m_strLabelNotes.c_str());
    for (const auto& category : m_categories)
        status += Format("%d:%d:%d;", category->m_nType, category->m_nCount, category->m_nCount2);
    status += " items=";
    for (int i = 0; i < m_list.GetItemCount(); ++i) {
        const HTMLLIST_ITEM* row = m_list.GetItem(i);
        int selected = -1;
        if (row->nType == HTMLLIST_PROBLEM)
            selected = static_cast<const CRegistryProblem*>(row->pData)->m_bSelected;
        status += Format("%d:%d:%d:%d:%d:%d:%d;", row->nItemNo, row->nType, static_cast<int>(row->rcItem.top), static_cast<int>(row->rcItem.bottom),
                         row->nCheckState, row->bExpanded, selected);
    }
    SetDlgItemTextA(m_hWnd, IDC_GAL_STATUS, status.c_str());
}

bool CGalleryDlg::OnCommand(int id, int code, HWND control)
{
    if (id == IDC_GAL_MESSAGE) {
        const int answer = AfxMessageBox("The gallery asks: is everything legible?", MB_YESNO | MB_ICONQUESTION);
        m_strNotes += answer == IDYES ? "yes," : "no,";
        return true;
    }
    if (id == IDCANCEL) {
        EndDialog(IDCANCEL);
        return true;
    }
    return CDialog::OnCommand(id, code, control);
}

bool CGalleryDlg::OnNotify(NMHDR* header, LRESULT& result)
{
    result = 0;
    if (header->idFrom == HTMLLIST_CONTROL_ID) {
        if (header->code == HTMLLIST_IGNORE) {
            const auto* record = reinterpret_cast<NM_HTMLLISTCTRL*>(header);
            const auto* problem = static_cast<const CRegistryProblem*>(record->pData);
            // The row and the problem must still be there while the page handles the message.
            m_strNotes += Format("5(row=%d,rows=%d,owned=%d,type=%d),", record->nItemNo, m_list.GetItemCount(),
                                 static_cast<int>(g_arrProblems.size()), problem->m_nType);
        } else {
            m_strNotes += Format("%u,", header->code);
        }
        RefreshStatus();
        return true;
    }
    if (header->idFrom == IDC_GAL_LABEL_NOTIFY) {
        m_strLabelNotes += Format("%X,", header->code);
        RefreshStatus();
        return true;
    }
    return false;
}

void CGalleryDlg::OnTimer(UINT_PTR id)
{
    if (id == 1)
        RefreshStatus();
}

bool CGalleryDlg::OnEraseBkgnd(HDC dc)
{
    RECT client{};
    GetClientRect(m_hWnd, &client);
    GdiBrush white(CreateSolidBrush(RGB(255, 255, 255)));
    FillRect(dc, &client, white.get());
    RECT band{0, 0, client.right, 34};
    GdiBrush navy(CreateSolidBrush(RGB(23, 54, 93)));
    FillRect(dc, &band, navy.get());
    GdiFont title(CreateFontA(-18, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                              CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "Tahoma"));
    SelectScope font(dc, title.get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    RECT text{12, 0, client.right, 34};
    DrawTextA(dc, GALLERY_TITLE, -1, &text, DT_SINGLELINE | DT_VCENTER);
    return true;
}

INT_PTR CGalleryDlg::DialogProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_GALLERY_REFRESH) {
        RefreshStatus();
        return TRUE;
    }
    if (msg == WM_CTLCOLORSTATIC || msg == WM_CTLCOLORBTN)
        return reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH));
    return CDialog::DialogProc(msg, wParam, lParam);
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    ComApartment com;
    CGalleryDlg gallery;
    gallery.DoModal(nullptr);
    return 0;
}
