#include "service/ProgramMain.h"

// The server program: the link service without a window, without Qt Widgets or Qt Gui.
int main(int argc, char *argv[])
{
    return RunProgram(argc, argv, {});
}
