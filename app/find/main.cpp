#include "app/find/FindCommandLine.h"
#include "app/find/FindWindow.h"

int main(int argc, char *argv[])
{
    if (argc > 1)
        return runFindCommandLine(argc, argv);
    return runFindWindow(argc, argv);
}
