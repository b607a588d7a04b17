#include "framework/msgbox.h"

#include "scan/problem_texts.h"

int AfxMessageBox(const std::string& text, UINT type)
{
    return MessageBoxWithCaption(GetActiveWindow(), text, HV_PRODUCT_NAME, type);
}

int MessageBoxWithCaption(HWND owner, const std::string& text, const std::string& caption, UINT type)
{
    return MessageBoxA(owner, text.c_str(), caption.c_str(), type);
}
