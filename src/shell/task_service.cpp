#include "shell/task_service.h"

#include <windows.h>
#include <oleauto.h>
#include <sddl.h>
#include <taskschd.h>

#include "framework/com_ptr.h"
#include "framework/error.h"
#include "framework/format.h"
#include "framework/handles.h"
#include "framework/paths.h"
#include "framework/wide_text.h"
#include "shell/logfile.h"
#include "shell/xml_document.h"

namespace {

class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const std::wstring& text) : m_text(SysAllocStringLen(text.data(), static_cast<UINT>(text.size())))
    {
    }
    ~Bstr() { SysFreeString(m_text); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;

    BSTR get() const { return m_text; }
    BSTR* put()
    {
        SysFreeString(m_text);
        m_text = nullptr;
        return &m_text;
    }
    std::wstring Text() const { return m_text ? std::wstring(m_text, SysStringLen(m_text)) : std::wstring(); }

private:
    BSTR m_text = nullptr;
};

// The root folder of the Task Scheduler, connected as the running user.
class TaskRoot {
public:
    TaskRoot()
    {
        m_hr = CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService, m_service.put());
        VARIANT none;
        VariantInit(&none);
        if (SUCCEEDED(m_hr))
            m_hr = m_service->Connect(none, none, none, none);
        if (SUCCEEDED(m_hr))
            m_hr = m_service->GetFolder(Bstr(L"\\").get(), m_root.put_typed());
    }
    HRESULT Result() const { return m_hr; }
    ITaskFolder* operator->() const { return m_root.get(); }

private:
    const ComApartment m_com;
    HRESULT m_hr = E_FAIL;
    ComPtr<ITaskService> m_service;
    ComPtr<ITaskFolder> m_root;
};

TASK_READ Read(const TaskRoot& root, const std::string& name, TASK_XML& task, std::wstring& xml, std::string& reason)
{
    ComPtr<IRegisteredTask> registered;
    const HRESULT hr = root->GetTask(Bstr(Widen(name)).get(), registered.put_typed());
    if (IsGone(static_cast<DWORD>(hr)))
        return TASK_MISSING;
    if (FAILED(hr)) {
        reason = FailedHresult("the task could not be opened", hr).Reason();
        return TASK_UNREADABLE;
    }
    Bstr text;
    XML_ELEMENT document;
    const HRESULT read = registered->get_Xml(text.put());
    if (FAILED(read)) {
        reason = FailedHresult("its definition could not be read", read).Reason();
        return TASK_UNREADABLE;
    }
    xml = text.Text();
    if (!ReadXmlDocument(xml, document) || document.strName != "Task") {
        reason = "its definition is no task XML the system's reader reads";
        return TASK_UNREADABLE;
    }
    task = ReadTaskXml(document);
    return TASK_FOUND;
}

HRESULT Register(const TaskRoot& root, const std::string& name, const std::wstring& xml)
{
    VARIANT none;
    VariantInit(&none);
    ComPtr<IRegisteredTask> registered;
    return root->RegisterTask(Bstr(Widen(name)).get(), Bstr(xml).get(), TASK_CREATE_OR_UPDATE, none, none,
                              TASK_LOGON_INTERACTIVE_TOKEN, none, registered.put_typed());
}

// The signed-in user's SID as text; empty when the token does not tell it.
std::string UserSid()
{
    KernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()))
        return {};
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    LPSTR text = nullptr;
    if (size == 0 || !GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size) ||
        !ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text))
        return {};
    const std::string sid = text;
    LocalFree(text);
    return sid;
}

} // namespace

TASK_READ ReadRegisteredTask(const std::string& name, TASK_XML& task, std::wstring& xml, std::string& reason)
{
    const TaskRoot root;
    if (FAILED(root.Result())) {
        reason = FailedHresult("the Task Scheduler 2.0 could not be reached", root.Result()).Reason();
        return TASK_UNREADABLE;
    }
    return Read(root, name, task, xml, reason);
}

SCAN_TASK_SETUP ProgramTaskSetup(const std::string& workingDirectory, const std::string& comment)
{
    SCAN_TASK_SETUP setup;
    setup.strProgram = WideToUtf8(Widen(ProgramPath()));
    setup.strWorkingDirectory = WideToUtf8(Widen(workingDirectory));
    setup.strDescription = WideToUtf8(Widen(comment));
    setup.strUserSid = UserSid();
    return setup;
}

bool RegisterScanTask(const std::string& name, const std::string& xml, const std::wstring* previous,
                      std::string& reason)
{
    const TaskRoot root;
    if (FAILED(root.Result())) {
        reason = FailedHresult("the Task Scheduler 2.0 could not be reached", root.Result()).Reason();
        return false;
    }
    const std::wstring text = Utf8ToWide(xml);
    XML_ELEMENT document;
    if (!ReadXmlDocument(text, document)) {
        reason = "the task XML could not be read";
        return false;
    }
    const TASK_XML registered = ReadTaskXml(document);
    HRESULT hr = Register(root, name, text);
    if (FAILED(hr)) {
        reason = FailedHresult("registering it failed", hr).Reason();
        return false;
    }
    TASK_XML readBack;
    std::wstring readXml;
    unsigned lost = 0;
    const TASK_READ read = Read(root, name, readBack, readXml, reason);
    if (read == TASK_FOUND) {
        lost = LostInReadBack(registered, readBack);
        if (lost == 0)
            return true;
        reason = "the Task Scheduler 2.0 did not keep " + LostText(lost);
    } else if (read == TASK_MISSING) {
        reason = "the Task Scheduler 2.0 did not keep the task";
    }
    // What the scheduler made of it runs nothing as it should: the task is put back as it was.
    if (previous)
        Register(root, name, *previous);
    else
        root->DeleteTask(Bstr(Widen(name)).get(), 0);
    return false;
}

bool EnsureScanTaskV2(const std::string& name, const SCAN_TASK_SETUP& setup,
                      const std::vector<SCHEDULE_TRIGGER>* legacy, bool withDefault, std::string& reason)
{
    TASK_XML current;
    std::wstring xml;
    const TASK_READ read = ReadRegisteredTask(name, current, xml, reason);
    if (read == TASK_UNREADABLE)
        return false;
    if (read == TASK_FOUND && IsCurrentScanTask(current, setup.strProgram))
        return true;
    // A task of an earlier version, of the 1.0 interfaces or at the limited run level, keeps its
    // triggers; its action and principal become the program's own.
    std::vector<XML_ELEMENT> triggers;
    if (read == TASK_FOUND) {
        for (const TASK_XML_TRIGGER& trigger : current.triggers)
            triggers.push_back(trigger.element);
    } else if (legacy) {
        for (const SCHEDULE_TRIGGER& trigger : *legacy)
            triggers.push_back(ScheduleTriggerElement(trigger));
    } else if (withDefault) {
        triggers.push_back(ScheduleTriggerElement(DefaultScanTrigger()));
    }
    return RegisterScanTask(name, BuildScanTaskXml(setup, triggers), read == TASK_FOUND ? &xml : nullptr, reason);
}

void LogScanTaskPath(const std::string& name, const std::string& reason)
{
    if (reason.empty())
        LogMessage("The scheduled task " + name + " runs with highest privileges through the Task Scheduler 2.0",
                   LOG_INFO);
    else
        LogMessage("The scheduled task " + name + " could not be set to run with highest privileges: " + reason +
                       "; it is kept through the Task Scheduler 1.0 interfaces",
                   LOG_WARN);
}
