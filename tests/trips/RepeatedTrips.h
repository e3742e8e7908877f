#pragma once

class ImportHarness;

// A trip the service offers more than once keeps one ride: twice in one reply and again in the next reply
// (retrieval cycle), a saved reply processed twice (manual processing), and a trip offered again after its
// cancellation (a new ride). Runs on whatever database the harness's controls point at.
void RunRepeatedTrips(ImportHarness &h);
