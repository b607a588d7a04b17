#include "shell/statistics.h"

#include "scan/problem.h"
#include "shell/settings.h"

void ResetFixedCounters()
{
    for (int i = 0; i < kCategoryCount; ++i)
        WriteSettingInt(CategoryInfo(static_cast<REGPROBLEM_TYPE>(i)).pszFixedCounter, 0);
}
