// Parameter pages and the measurement frame mapping.
#include "link/com232.h"
#include "params/paramset.h"

#include <gtest/gtest.h>

namespace evok {
namespace {

unsigned short* const kVars[15] = {&powerA,   &thd1,    &thd2,    &triglvlA, &deltaT,
                                   &polarity, &hold,    &average, &hwmode,   &evalmode,
                                   &trigmode, &outmode, &anamode, &sdelay,   &maxmode};

void SetVars(unsigned short base) {
    for (int i = 0; i < 15; ++i)
        *kVars[i] = static_cast<unsigned short>(base + i);
}

TEST(ParameterPages, PageZeroCarriesTheFifteenParametersInWordOrder) {
    SetVars(100);
    powerA = 65535;
    CopyVarsToPP(0);
    EXPECT_EQ(pp[0], 0);
    EXPECT_EQ(pp[1], 65535);
    for (int i = 1; i < 15; ++i)
        EXPECT_EQ(pp[i + 1], 100 + i) << "word " << i + 1;
}

TEST(ParameterPages, PageOneIsSelectorOneAndZeros) {
    SetVars(100);
    CopyVarsToPP(1);
    EXPECT_EQ(pp[0], 1);
    for (int i = 1; i < PNUM; ++i)
        EXPECT_EQ(pp[i], 0);
}

TEST(ParameterPages, ReplyIsJudgedByTheRequestedPageNotByWordZero) {
    struct Row {
        unsigned short requestedPage, word0;
        bool taken;
    } rows[] = {{0, 0, true}, {0, 1, true}, {1, 1, false}, {1, 0, false}};
    for (const Row& row : rows) {
        SetVars(10);
        pp[0] = row.word0;
        for (int i = 1; i < PNUM; ++i)
            pp[i] = static_cast<unsigned short>(60000 + i);
        CopyPPtoVars(row.requestedPage);
        EXPECT_EQ(powerA, row.taken ? 60001 : 10) << "page " << row.requestedPage;
        EXPECT_EQ(maxmode, row.taken ? 60015 : 24) << "page " << row.requestedPage;
    }
}

TEST(MeasurementFrame, WordsMapToTheMeasurementVariables) {
    for (int i = 0; i < PNUM; ++i)
        pp[i] = static_cast<unsigned short>(1000 + i);
    pp[0] = 65535;
    pp[9] = 77;
    TakeMeasurementFrame();
    EXPECT_EQ((std::vector<int>{valNORMA, adcCHA, Amax, T1val, T2val, DTval, btnval, in0val, in1val,
                                indexA}),
              (std::vector<int>{65535, 1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 77}));
}

TEST(MeasurementFrame, IndexIsKeptWithinOneTo128) {
    struct Row {
        unsigned short word, index;
    } rows[] = {{0, 1}, {1, 1}, {64, 64}, {128, 128}, {129, 128}, {65535, 128}};
    for (const Row& row : rows) {
        pp[9] = row.word;
        TakeMeasurementFrame();
        EXPECT_EQ(indexA, row.index) << "word 9 = " << row.word;
    }
}

} // namespace
} // namespace evok
