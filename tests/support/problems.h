#pragma once

#include <string>
#include <vector>

#include "scan/problem.h"

// "key|value name|data" of every problem in g_arrProblems, in report order. Each must be of type
// and carry the extra number 0.
std::vector<std::string> ProblemLines(REGPROBLEM_TYPE type);
