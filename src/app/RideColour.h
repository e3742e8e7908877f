#pragma once

#include <QString>

// The text of Ritkleur for a colour: red, green and blue as two upper-case hexadecimal digits each.
QString RitkleurText(int red, int green, int blue);
