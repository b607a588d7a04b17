#pragma once

#include <string>

#include "framework/dialog.h"
#include "shell/trigger_text.h"

// The program's own schedule dialog, for systems whose Task Scheduler offers no schedule page:
// runs once, daily, weekly on chosen days, monthly on a day or on a weekday of a chosen week,
// from a start date and time. A trigger of a kind it cannot edit (at logon, say) is offered as it
// is. Confirmed, it leaves the new schedule in the trigger it was given; what the user did not
// change (the months of a monthly schedule, its other days, an end date, a repetition) stays.
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
    // The name of a kind the dialog cannot edit, when the trigger is of one.
    std::string m_strOtherKind;
    bool m_bLoading = false;
};
