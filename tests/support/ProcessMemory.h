#pragma once

// The figures of this process that the benchmarks watch, read from /proc (Linux). -1 where they cannot be read.
struct ProcessMemory {
    long residentKiB = -1;     // resident memory now (VmRSS)
    long peakResidentKiB = -1; // the highest resident memory so far (VmHWM)
};

ProcessMemory ReadProcessMemory();

// The number of open file descriptors.
int OpenDescriptors();

// The number of threads of this process.
int ThreadCount();
