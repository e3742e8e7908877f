#pragma once

#include "service/Operations.h"

// The operations of every subsystem, as the program runs them.
Operations WireOperations(const ProgramLinks &links);
