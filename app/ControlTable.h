#pragma once

#include <array>

// The window's 35 controls, in creation order, as one table: the window is built by a loop over
// it and the widget tests check the window against it. Geometry is in twips (1/1440 inch),
// relative to the container; at 96 dpi a twip is 1/15 pixel and every value divides exactly.
enum class ControlKind {
    Button,
    Label,
    Frame,
    TextBox,
    MultiLineTextBox,
    List,
    LogView,
    Lamp,
    SerialComponent,
    FileDialogComponent
};

struct ControlRow
{
    const char *name;
    ControlKind kind;
    const char *container; // "" for the window itself
    const char16_t *caption;
    int left, top, width, height; // twips; all 0 for the non-visual components
    int tabIndex;                 // -1: never takes focus
    bool ownFont;                 // "Times New Roman" 15 pt bold
    bool readOnly;
    const char *toolTip = ""; // English gloss of a caption that is Chinese only or cryptic
};

inline constexpr int TwipsPerPixel = 15;
inline constexpr int ClientWidthTwips = 12645;
inline constexpr int ClientHeightTwips = 8745;

extern const std::array<ControlRow, 35> controlTable;
