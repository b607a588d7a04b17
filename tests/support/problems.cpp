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

void PrintTo(const Found& f, std::ostream* os)
{
    *os << "{" << f.key << " | " << f.valueName << " | " << f.data << " | " << f.type << "}";
}

std::vector<Found> Problems()
{
    std::vector<Found> out;
    for (const auto& p : g_arrProblems) {
        EXPECT_EQ(p->m_nExtra, 0);
        out.push_back({p->m_strKey, p->m_strValueName, p->m_strData, p->m_nType});
    }
    return out;
}
