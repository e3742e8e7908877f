#pragma once

class Controls;
class DispatchDb;
class OstrelSim;
struct ProgramFolders;

// One return-message cycle end to end through the real transport against the simulator, on whatever database
// the controls point at: rows of this owner, of another owner, in other states and without a vehicle; checks the
// order, the documents, the states, the transactions and the copies.
void RunRetourScenario(Controls &controls, DispatchDb &db, OstrelSim &sim, const ProgramFolders &folders);
