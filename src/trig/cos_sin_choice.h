// Which cos and sin the unit runs on.
//   0: the C library's. Results are exact given that library's cos and sin,
//      which differ between C libraries and, for glibc, between CPUs.
//   1: the unit's own, correctly rounded: the same bits on every platform.
// The portable build defines it as 1, and the portable archive's sources
// carry this header with 1, so that a host compiling them gets the same.
#ifndef TARVO_TRIG_COS_SIN_CHOICE_H
#define TARVO_TRIG_COS_SIN_CHOICE_H

#ifndef TARVO_PORTABLE_COS_SIN
#define TARVO_PORTABLE_COS_SIN 0
#endif

#endif  // TARVO_TRIG_COS_SIN_CHOICE_H
