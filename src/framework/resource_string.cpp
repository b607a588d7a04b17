#include "framework/resource_string.h"

std::string LoadResourceString(UINT id)
{
    char buffer[1024];
    const int length = LoadStringA(GetModuleHandleA(nullptr), id, buffer, sizeof buffer);
    return length > 0 ? std::string(buffer, length) : std::string();
}
