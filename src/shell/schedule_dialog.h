#pragma once

#include "framework/dialog.h"
#include "shell/trigger_text.h"

// The program's own schedule dialog, for systems whose Task Scheduler offers no schedule page:
// runs once, daily, weekly on chosen days or monthly on one day, from a start date and time.
// Confirmed, it leaves the new schedule in the trigger it was given.
class CScheduleDlg : public CDialog {
public:
    explicit CScheduleDlg(SCHEDULE_TRIGGER& trigger);

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    bool OnNotify(NMHDR* header, LRESULT& result) override;
    void OnOK() override;

private:
    // The controls' schedule over the trigger's other fields.
    SCHEDULE_TRIGGER Collect() const;
    void ShowKind();
    void ShowPreview() const;

    SCHEDULE_TRIGGER& m_trigger;
    SCHEDULE_TRIGGER m_work;
    bool m_bLoading = false;
};
