#include <gtest/gtest.h>

#include "sandbox.h"
#include "scan/registry.h"

TEST(Sandbox, StartsEmpty)
{
    RegistrySandbox sandbox;
    EXPECT_FALSE(KeyExists("HKEY_LOCAL_MACHINE\\SOFTWARE"));
    SetString("HKEY_LOCAL_MACHINE\\SOFTWARE\\X", "v", "d");
    EXPECT_TRUE(ValueExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\X", "v"));
}
