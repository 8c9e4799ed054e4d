// Header branding: the coloured header band, the logo picture and the header texts.
#pragma once

namespace evok {

// Builds the header for brand variant 0..6 (5 and any other number change nothing).
void ShowLogo(int variant);

// Creates one bold header text in the application font at (left, top) on the main panel.
void ShowInfoText(int background, int colour, const char* text, int left, int top, int size);

} // namespace evok
