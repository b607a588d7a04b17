#include "shell/task_service.h"

#include <windows.h>
#include <oleauto.h>
#include <taskschd.h>

#include "framework/com_ptr.h"
#include "framework/format.h"
#include "framework/wide_text.h"
#include "shell/logfile.h"
#include "shell/run_level.h"

namespace {

constexpr int kLogWarn = 1;

class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const std::string& text)
    {
        const std::wstring wide = Widen(text);
        m_text = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
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
    // The text in the ANSI code page; empty when it has no exact ANSI form.
    std::string Ansi() const
    {
        std::string text;
        if (m_text)
            ExactAnsi(m_text, SysStringLen(m_text), text);
        return text;
    }

private:
    BSTR m_text = nullptr;
};

void Warn(const std::string& name, const std::string& reason)
{
    if (g_pLog)
        g_pLog->Write("The scheduled task " + name + " could not be set to run with highest privileges: " + reason,
                      kLogWarn);
}

std::string Failed(const char* what, HRESULT hr)
{
    return Format("%s, error = 0x%x", what, static_cast<unsigned>(hr));
}

// What the scheduler tells of the registered definition; the first failing call's error otherwise.
HRESULT ReadState(ITaskDefinition* definition, SCHEDULED_TASK_STATE& state)
{
    ComPtr<IPrincipal> principal;
    HRESULT hr = definition->get_Principal(principal.put_typed());
    TASK_RUNLEVEL_TYPE level = TASK_RUNLEVEL_LUA;
    TASK_LOGON_TYPE logon = TASK_LOGON_NONE;
    if (SUCCEEDED(hr))
        hr = principal->get_RunLevel(&level);
    if (SUCCEEDED(hr))
        hr = principal->get_LogonType(&logon);
    ComPtr<IActionCollection> actions;
    LONG count = 0;
    if (SUCCEEDED(hr))
        hr = definition->get_Actions(actions.put_typed());
    if (SUCCEEDED(hr))
        hr = actions->get_Count(&count);
    if (FAILED(hr))
        return hr;
    state.nRunLevel = level;
    state.nLogonType = logon;
    state.nActions = static_cast<int>(count);
    ComPtr<IAction> action;
    TASK_ACTION_TYPE type = TASK_ACTION_EXEC;
    if (count < 1 || FAILED(actions->get_Item(1, action.put_typed())) || FAILED(action->get_Type(&type)) ||
        type != TASK_ACTION_EXEC)
        return S_OK;
    ComPtr<IExecAction> exec;
    Bstr path, arguments;
    if (FAILED(action->QueryInterface(IID_IExecAction, exec.put())) || FAILED(exec->get_Path(path.put())) ||
        FAILED(exec->get_Arguments(arguments.put())))
        return S_OK;
    state.bExecAction = true;
    state.strCommand = path.Ansi();
    state.strArguments = arguments.Ansi();
    return S_OK;
}

HRESULT RunLevelOf(IRegisteredTask* task, TASK_RUNLEVEL_TYPE& level)
{
    ComPtr<ITaskDefinition> definition;
    ComPtr<IPrincipal> principal;
    HRESULT hr = task->get_Definition(definition.put_typed());
    if (SUCCEEDED(hr))
        hr = definition->get_Principal(principal.put_typed());
    if (SUCCEEDED(hr))
        hr = principal->get_RunLevel(&level);
    return hr;
}

} // namespace

bool RaiseScanTaskRunLevel(const std::string& name, const std::string& program)
{
    const ComApartment com;
    ComPtr<ITaskService> service;
    if (FAILED(CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService, service.put())))
        return false;

    VARIANT none;
    VariantInit(&none);
    HRESULT hr = service->Connect(none, none, none, none);
    ComPtr<ITaskFolder> root;
    if (SUCCEEDED(hr))
        hr = service->GetFolder(Bstr("\\").get(), root.put_typed());
    if (FAILED(hr)) {
        Warn(name, Failed("the Task Scheduler could not be reached", hr));
        return false;
    }
    ComPtr<IRegisteredTask> registered;
    hr = root->GetTask(Bstr(name).get(), registered.put_typed());
    if (FAILED(hr)) {
        Warn(name, Failed("the task was not found", hr));
        return false;
    }
    ComPtr<ITaskDefinition> definition;
    SCHEDULED_TASK_STATE state;
    hr = registered->get_Definition(definition.put_typed());
    if (SUCCEEDED(hr))
        hr = ReadState(definition.get(), state);
    if (FAILED(hr)) {
        Warn(name, Failed("its definition could not be read", hr));
        return false;
    }

    switch (DecideRunLevelStep(state, program)) {
    case RUNLEVEL_ALREADY_HIGHEST:
        return true;
    case RUNLEVEL_NOT_OURS:
        Warn(name, "it starts \"" + state.strCommand + "\" \"" + state.strArguments + "\", not this program with -t");
        return false;
    case RUNLEVEL_NEEDS_PASSWORD:
        Warn(name, "it runs with a stored password, which registering it again would need");
        return false;
    case RUNLEVEL_RAISE:
        break;
    }

    // The definition the scheduler just gave, changed in its run level alone, is registered over
    // the task: what was checked above is what stays registered.
    ComPtr<IPrincipal> principal;
    hr = definition->get_Principal(principal.put_typed());
    if (SUCCEEDED(hr))
        hr = principal->put_RunLevel(TASK_RUNLEVEL_HIGHEST);
    if (FAILED(hr)) {
        Warn(name, Failed("its run level could not be set", hr));
        return false;
    }
    ComPtr<IRegisteredTask> updated;
    hr = root->RegisterTaskDefinition(Bstr(name).get(), definition.get(), TASK_UPDATE, none, none,
                                      static_cast<TASK_LOGON_TYPE>(state.nLogonType), none, updated.put_typed());
    if (FAILED(hr)) {
        Warn(name, Failed("registering it again failed", hr));
        return false;
    }
    TASK_RUNLEVEL_TYPE level = TASK_RUNLEVEL_LUA;
    hr = RunLevelOf(updated.get(), level);
    if (FAILED(hr) || level != TASK_RUNLEVEL_HIGHEST) {
        Warn(name, FAILED(hr) ? Failed("its new run level could not be read back", hr)
                              : std::string("the Task Scheduler did not keep the run level"));
        return false;
    }
    return true;
}
