// The parameter set: fifteen unsigned 16-bit parameters, their mapping to frame page 0, the
// measurement frame mapping, the program-wide constants and the start-up values.
#pragma once

namespace evok {

// Transfer targets.
constexpr int RAM = 1;
constexpr int EEPROM = 2;
constexpr int DATFILE = 3;

constexpr double TIMEOUT = 1.5; // wait limit of the refresh command, seconds

// Parameter variables, words 1-15 of page 0 in this order.
extern unsigned short powerA, thd1, thd2, triglvlA, deltaT, polarity, hold, average, hwmode,
    evalmode, trigmode, outmode, anamode, sdelay, maxmode;

// Reference levels of the normalised data view and the normalising constants.
extern unsigned short valREF1, valREF2;
extern unsigned short ref10Bit, tol10Bit;

// Measurement variables, words 0-9 of a measurement frame.
extern int valNORMA;
extern unsigned short adcCHA, Amax, T1val, T2val, DTval, btnval, in0val, in1val, indexA;

// Transfer target and the graph routine selector of the live loop.
extern int target;
extern int type;

// The start-up state of the program and of the companion alike: the defaults of thirteen
// parameter variables (deltaT and maxmode get none), the normalising constants, port 1, the sync
// word, the order, the RAM target, the graph routine, the flags and the tick counter.
void SetStartValues();

// pp[0] = page; page 0: pp[1..15] = the parameters, any other page: zeros.
void CopyVarsToPP(unsigned short page);

// page 0: the parameters take pp[1..15]; any other page changes nothing. pp[0] is not looked at.
void CopyPPtoVars(unsigned short page);

// Takes words 0-9 of pp into the measurement variables; indexA is kept within 1..128.
void TakeMeasurementFrame();

} // namespace evok
