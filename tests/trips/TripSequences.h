#pragma once

class ImportHarness;

// Trips as several owners and a real service give them, through the retrieval cycle and manual processing, on
// whatever database the harness's controls point at:
// - sequences of offers, changes and cancellations of one trip each reach the live ride of our owner;
// - trip numbers that another owner's rides carry too;
// - the owner code corrected between a trip's import and its next action;
// - bad trips in the middle of a reply fail alone;
// - the later actions of a trip whose action failed wait for the next offer;
// - a refused trip offered every minute is said once a day, with one copy;
// - line breaks of the texts stored as CR LF;
// - a TRANSACTIES table that refuses its row never costs the ride;
// - a database without the column that marks cancelled rides (the embedded one gets it when opened);
// - a ride the dispatch holds locked is named and passed over, and changed when offered again (PostgreSQL).
void RunTripSequences(ImportHarness &h);
void RunTwoOwners(ImportHarness &h);
void RunOwnerCodeChanged(ImportHarness &h);
void RunBadTripsInTheMiddle(ImportHarness &h);
void RunFailedThenLaterActions(ImportHarness &h);
void RunRefusedTripOfferedEveryMinute(ImportHarness &h);
void RunLineBreaksAndRefusedTransactions(ImportHarness &h);
void RunWithoutTheCancelledColumn(ImportHarness &h);
void RunHeldRide(ImportHarness &h);
