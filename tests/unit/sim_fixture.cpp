#include "sim_fixture.h"

void SimTest::SetUp()
{
    winsim::Reset();
    AfxSetMbcsCodePage(0);
}

void SimTest::TearDown()
{
    for (const std::string& fault : m.faults)
        ADD_FAILURE() << "simulated Windows noticed: " << fault;
    EXPECT_EQ(m.OpenHandleCount(), 0) << "handles, keys or modules left open";
}

void SimTest::UseCodePage(UINT codePage)
{
    m.ansiCodePage = codePage;
    AfxSetMbcsCodePage(0);
}
