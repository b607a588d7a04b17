#include "repair/class_hive.h"

std::string ClassesSubKey(const std::string& rest)
{
    return "Software\\Classes\\" + rest;
}

std::vector<CLASSES_TARGET> ResolveClassesPath(const std::string& rest, bool inUserClasses, bool inMachineClasses)
{
    std::vector<CLASSES_TARGET> targets;
    if (inUserClasses)
        targets.push_back({"HKEY_CURRENT_USER", ClassesSubKey(rest)});
    if (inMachineClasses)
        targets.push_back({"HKEY_LOCAL_MACHINE", ClassesSubKey(rest)});
    if (targets.empty())
        targets.push_back({"HKEY_CLASSES_ROOT", rest});
    return targets;
}
