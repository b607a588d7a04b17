#pragma once

#include <string>

// Gives the scheduled task name, registered through the Task Scheduler 1.0 interfaces, the
// highest run level through the 2.0 interfaces, keeping everything else of it (triggers, flags,
// account) as it is. Needed where user account control would refuse the limited start of a
// program that asks for administrator rights. A system without the 2.0 interfaces needs nothing.
// Any failure, and a task that starts something other than program "-t", is logged as a warning
// and changes nothing. True when the task runs at the highest level afterwards.
bool RaiseScanTaskRunLevel(const std::string& name, const std::string& program);
