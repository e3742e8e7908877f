#pragma once

#include <QPixmap>

// The decorative picture at the right of both update dialogs.
QPixmap UpdatePicture(int width, int height);
