#pragma once

#include "service/Operations.h"

// The operations of the link service: the cycles and everything else that needs no window.
Operations WireServiceOperations(const ProgramLinks &links);
