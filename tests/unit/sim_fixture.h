// Base of the tests that run product code on the simulated machine.
#pragma once

#include <gtest/gtest.h>

#include "afxmbcs.h"
#include "machine.h"

class SimTest : public ::testing::Test {
protected:
    void SetUp() override;
    // Every test ends with no misuse noticed and nothing left open.
    void TearDown() override;

    // Changes the ANSI code page and adopts it as the runtime's, as start-up does.
    void UseCodePage(UINT codePage);

    winsim::Machine& m = winsim::machine();
};
