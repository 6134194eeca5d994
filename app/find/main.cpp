#include "app/find/FindCommandLine.h"

#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc > 1)
        return runFindCommandLine(argc, argv);
    std::fputs(findUsage().toLocal8Bit().constData(), stderr);
    return FindUsage;
}
