// Parameter pages: where the mapping decides rather than lists.
#include "link/com232.h"
#include "params/paramset.h"

#include <gtest/gtest.h>

namespace evok {
namespace {

// A reply is taken by the page that was asked for, whatever its word 0 says; page 1 is opaque.
TEST(ParameterPages, ReplyIsJudgedByTheRequestedPageNotByWordZero) {
    const struct {
        unsigned short requestedPage, word0;
        bool taken;
    } rows[] = {{0, 0, true}, {0, 1, true}, {1, 1, false}, {1, 0, false}};
    for (const auto& row : rows) {
        powerA = maxmode = 10;
        pp[0] = row.word0;
        for (int i = 1; i < PNUM; ++i)
            pp[i] = static_cast<unsigned short>(60000 + i);
        CopyPPtoVars(row.requestedPage);
        EXPECT_EQ(powerA, row.taken ? 60001 : 10) << "page " << row.requestedPage;
        EXPECT_EQ(maxmode, row.taken ? 60015 : 10) << "page " << row.requestedPage;
    }
}

} // namespace
} // namespace evok
