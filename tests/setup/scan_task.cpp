// The scheduled task "Hivora" as the main program registers it:
//   scan_task create PROGRAM.exe    through the Task Scheduler 1.0 interfaces (where the program falls
//                                   back to them), without a trigger, to start PROGRAM.exe -t; exit 0 when saved
//   scan_task exists                exit 0 when the 1.0 interfaces have it, 1 when not
//   scan_task create2 PROGRAM.exe   the same through the Task Scheduler 2.0 interfaces
//   scan_task exists2               exit 0 when the 2.0 interfaces have it, 1 when not
#include <windows.h>
#include <initguid.h>
#include <mstask.h>
#include <oleauto.h>
#include <taskschd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "framework/com_ptr.h"
#include "framework/wide_text.h"

namespace {

const wchar_t kTaskName[] = L"Hivora";

int Create(ITaskScheduler* scheduler, const char* program)
{
    ComPtr<ITask> task;
    HRESULT hr = scheduler->NewWorkItem(kTaskName, CLSID_CTask, IID_ITask, reinterpret_cast<IUnknown**>(task.put()));
    if (FAILED(hr)) {
        std::fprintf(stderr, "NewWorkItem: 0x%lx\n", hr);
        return 1;
    }
    std::wstring path = Widen(program);
    std::wstring folder = path.substr(0, path.find_last_of(L'\\'));
    task->SetApplicationName(path.c_str());
    task->SetWorkingDirectory(folder.c_str());
    task->SetParameters(L"-t");
    task->SetComment(L"Runs Hivora at Scheduled Time.");
    task->SetFlags(TASK_FLAG_RUN_ONLY_IF_LOGGED_ON);

    ComPtr<IPersistFile> file;
    hr = task->QueryInterface(IID_IPersistFile, file.put());
    if (SUCCEEDED(hr))
        hr = file->Save(nullptr, TRUE);
    if (FAILED(hr)) {
        std::fprintf(stderr, "Save: 0x%lx\n", hr);
        return 1;
    }
    return 0;
}

// The 2.0 interfaces: the task's XML registered (create2), or the task looked up (exists2).
int TaskService(const char* program)
{
    ComPtr<ITaskService> service;
    ComPtr<ITaskFolder> root;
    VARIANT none;
    VariantInit(&none);
    BSTR rootName = SysAllocString(L"\\");
    HRESULT hr = CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService, service.put());
    if (SUCCEEDED(hr))
        hr = service->Connect(none, none, none, none);
    if (SUCCEEDED(hr))
        hr = service->GetFolder(rootName, root.put_typed());
    SysFreeString(rootName);
    if (FAILED(hr)) {
        std::fprintf(stderr, "Task Scheduler 2.0: 0x%lx\n", hr);
        return 2;
    }
    BSTR name = SysAllocString(kTaskName);
    ComPtr<IRegisteredTask> task;
    if (!program) {
        hr = root->GetTask(name, task.put_typed());
        SysFreeString(name);
        return SUCCEEDED(hr) ? 0 : 1;
    }
    const std::wstring xml = L"<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">"
                             L"<Actions><Exec><Command>" + Widen(program) + L"</Command><Arguments>-t</Arguments>"
                             L"</Exec></Actions></Task>";
    BSTR text = SysAllocString(xml.c_str());
    hr = root->RegisterTask(name, text, TASK_CREATE_OR_UPDATE, none, none, TASK_LOGON_INTERACTIVE_TOKEN, none,
                            task.put_typed());
    SysFreeString(text);
    SysFreeString(name);
    if (FAILED(hr)) {
        std::fprintf(stderr, "RegisterTask: 0x%lx\n", hr);
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const bool create = argc == 3 && std::strcmp(argv[1], "create") == 0;
    const bool create2 = argc == 3 && std::strcmp(argv[1], "create2") == 0;
    const bool exists2 = argc == 2 && std::strcmp(argv[1], "exists2") == 0;
    if (!create && !create2 && !exists2 && !(argc == 2 && std::strcmp(argv[1], "exists") == 0)) {
        std::fprintf(stderr, "usage: scan_task create|create2 PROGRAM.exe | scan_task exists|exists2\n");
        return 2;
    }
    ComApartment apartment;
    if (create2 || exists2)
        return TaskService(create2 ? argv[2] : nullptr);
    ComPtr<ITaskScheduler> scheduler;
    HRESULT hr = CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskScheduler,
                                  scheduler.put());
    if (FAILED(hr)) {
        std::fprintf(stderr, "CoCreateInstance: 0x%lx\n", hr);
        return 2;
    }
    if (create)
        return Create(scheduler.get(), argv[2]);
    ComPtr<ITask> task;
    return SUCCEEDED(scheduler->Activate(kTaskName, IID_ITask, reinterpret_cast<IUnknown**>(task.put()))) ? 0 : 1;
}
