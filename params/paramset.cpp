#include "params/paramset.h"

#include "ground/state.h"
#include "link/com232.h"

namespace evok {

unsigned short powerA, thd1, thd2, triglvlA, deltaT, polarity, hold, average, hwmode, evalmode,
    trigmode, outmode, anamode, sdelay, maxmode;
unsigned short valREF1, valREF2;
unsigned short ref10Bit, tol10Bit;
int valNORMA;
unsigned short adcCHA, Amax, T1val, T2val, DTval, btnval, in0val, in1val, indexA;
int target;
int type;

namespace {

// The parameters in the word order of page 0 (words 1-15) and of the parameter file.
unsigned short* const kPageOrder[PNUM - 1] = {
    &powerA, &thd1,     &thd2,     &triglvlA, &deltaT,  &polarity, &hold,    &average,
    &hwmode, &evalmode, &trigmode, &outmode,  &anamode, &sdelay,   &maxmode,
};

} // namespace

void SetStartValues() {
    powerA = 500;
    thd1 = 900;
    thd2 = 600;
    triglvlA = 950;
    polarity = 1;
    hold = 100;
    average = 8;
    hwmode = 1;
    evalmode = 0;
    trigmode = 0;
    outmode = 0;
    anamode = 0;
    sdelay = 500;
    ref10Bit = 2048;
    tol10Bit = 512;
    com = 1;
    sync = kSyncWord;
    order = kOrderAtStart;
    target = RAM;
    type = 1;
    rx_flag = 1;
    stop_flag = 1;
    ttick = 0;
}

void CopyVarsToPP(unsigned short page) {
    pp[0] = page;
    for (int i = 1; i < PNUM; ++i)
        pp[i] = page == 0 ? *kPageOrder[i - 1] : 0;
}

void CopyPPtoVars(unsigned short page) {
    if (page != 0) return;
    for (int i = 1; i < PNUM; ++i)
        *kPageOrder[i - 1] = pp[i];
}

void TakeMeasurementFrame() {
    valNORMA = pp[0];
    adcCHA = pp[1];
    Amax = pp[2];
    T1val = pp[3];
    T2val = pp[4];
    DTval = pp[5];
    btnval = pp[6];
    in0val = pp[7];
    in1val = pp[8];
    indexA = pp[9];
    if (indexA == 0) indexA = 1;
    if (indexA > 128) indexA = 128;
}

} // namespace evok
