#include <gtest/gtest.h>

#include "sandbox.h"
#include "shell/settings.h"

TEST(Settings, MissingKeyReadsZero)
{
    RegistrySandbox sandbox;
    EXPECT_EQ(ReadSettingInt("comactx"), 0);
}
