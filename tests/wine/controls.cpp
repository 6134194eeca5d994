// The window's facts as the tool has them, for the tests under wine, which drive the window by
// pixels: the client area, each control's box in the client area and the lamp's colours, from
// the tool's own control table, as JSON on standard output. Built for the host by run.py.
#include "app/ControlTable.h"
#include "core/LampColor.h"

#include <cstdio>
#include <cstring>

namespace {

const ControlRow *row(const char *name)
{
    for (const ControlRow &control : controlTable) {
        if (std::strcmp(control.name, name) == 0)
            return &control;
    }
    return nullptr;
}

void printColour(const char *name, LampColor colour, const char *after)
{
    std::printf("\"%s\": [%d, %d, %d]%s", name, colour.red, colour.green, colour.blue, after);
}

} // namespace

int main()
{
    std::printf("{\"client\": [%d, %d],\n \"lamp\": {", ClientWidthTwips / TwipsPerPixel,
                ClientHeightTwips / TwipsPerPixel);
    printColour("grey", LampGrey, ", ");
    printColour("green", LampGreen, "},\n \"controls\": {");
    const char *separator = "";
    for (const ControlRow &control : controlTable) {
        // Boxes are relative to their container: add the containers' origins.
        int left = control.left, top = control.top;
        for (const ControlRow *outer = row(control.container); outer;
             outer = row(outer->container)) {
            left += outer->left;
            top += outer->top;
        }
        std::printf("%s\n  \"%s\": [%d, %d, %d, %d]", separator, control.name, left / TwipsPerPixel,
                    top / TwipsPerPixel, control.width / TwipsPerPixel,
                    control.height / TwipsPerPixel);
        separator = ",";
    }
    std::printf("}}\n");
    return 0;
}
