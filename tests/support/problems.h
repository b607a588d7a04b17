#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "scan/problem.h"

// "key|value name|data" of every problem in g_arrProblems, in report order. Each must be of type
// and carry the extra number 0.
std::vector<std::string> ProblemLines(REGPROBLEM_TYPE type);

// One problem of g_arrProblems, for comparisons that name the type too.
struct Found {
    std::string key;
    std::string valueName;
    std::string data;
    REGPROBLEM_TYPE type;
    bool operator==(const Found&) const = default;
};
void PrintTo(const Found& f, std::ostream* os);

// Every problem in g_arrProblems, in report order; each must carry the extra number 0.
std::vector<Found> Problems();
