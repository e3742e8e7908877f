#pragma once

class ImportHarness;

// Two retrieval cycles against the service simulator over the real SOAP transport, on whatever database the
// harness's controls point at: five new trips with an unknown action and an impossible date among them, then a
// change of a stored ride, a change without a ride and a cancellation.
void RunEndToEndCycles(ImportHarness &h);
