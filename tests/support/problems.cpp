#include "problems.h"

#include <gtest/gtest.h>

std::vector<std::string> ProblemLines(REGPROBLEM_TYPE type)
{
    std::vector<std::string> lines;
    for (const auto& problem : g_arrProblems) {
        EXPECT_EQ(problem->m_nType, type);
        EXPECT_EQ(problem->m_nExtra, 0);
        lines.push_back(problem->m_strKey + "|" + problem->m_strValueName + "|" + problem->m_strData);
    }
    return lines;
}
