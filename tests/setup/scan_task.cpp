// The scheduled task "Hivora" as the main program registers it (Task Scheduler 1.0):
//   scan_task create PROGRAM.exe   registers it, without a trigger, to start PROGRAM.exe -t; exit 0 when saved
//   scan_task exists               exit 0 when the scheduler has it, 1 when not
#include <windows.h>
#include <initguid.h>
#include <mstask.h>

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

}  // namespace

int main(int argc, char** argv)
{
    const bool create = argc == 3 && std::strcmp(argv[1], "create") == 0;
    if (!create && !(argc == 2 && std::strcmp(argv[1], "exists") == 0)) {
        std::fprintf(stderr, "usage: scan_task create PROGRAM.exe | scan_task exists\n");
        return 2;
    }
    ComApartment apartment;
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
