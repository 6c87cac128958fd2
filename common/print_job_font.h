// The style of one receipt line as the print server decodes it from a print job.
// No toolkit: the console, the scenario runner and the fuzz target share it.
#pragma once

// Style of one receipt line. The print server produces 0 to 7; the marker style
// runs on into the next line in the receipt view.
enum PrintJobFont {
    DEFAULT = 0,
    BOLD = 1,
    DOUBLE_HEIGHT = 2,
    RIGHT_JUSTIFY = 3,
    CENTER_TEXT = 4,
    HALF_SIZE = 5,
    DOUBLE_SIZE = 6,
    DOUBLE_WIDTH = 7,
    SPECIFIC_MARKER_FONT = 8,
};
