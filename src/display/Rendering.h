#pragma once

#include <QString>

#include <functional>

#include "display/DisplayCache.h"

class DisplayBox;
class QPainter;

// What the window's controls say at the moment the display box is drawn.
struct DisplayState {
  int count = 0;       // entries in the image list
  int listIndex = -1;  // the list box's current row, -1 for none
  bool viewChecked = false;
  int viewMode = -1;  // the selected view mode, -1 for none
};

// Draws the display box's content for that state: cleared when there is
// nothing to show, the error line when the current entry's file cannot be
// loaded or decoded, the text for the modes that have no drawing, or the
// picture placed for the view mode. fileName gives the image list entry at
// a 1-based position. The painter's origin is the box's inner top-left
// corner, clipped to the inner area. The content comes from the box's cache
// (display/DisplayCache.h): until it is ready the box stays cleared, and is
// drawn again once it is.
void RenderDisplay(QPainter& painter, DisplayBox& box, const DisplayState& state,
                   const std::function<QString(int)>& fileName);

// The request for a file in a view mode, as the box is now.
BoxRequest RequestFor(const DisplayBox& box, const QString& fileName, int viewMode);

// Paints a content: the box is cleared first.
void PaintBoxContent(QPainter& painter, const DisplayBox& box, const BoxContent& content);
