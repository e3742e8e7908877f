#include "app/RideColour.h"

QString RitkleurText(int red, int green, int blue)
{
    return QString::asprintf("%.2X%.2X%.2X", unsigned(red & 0xFF), unsigned(green & 0xFF), unsigned(blue & 0xFF));
}
