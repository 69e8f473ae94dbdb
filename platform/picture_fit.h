#pragma once

#include "platform/gui.h"

// Where a picture of width x height goes in an area of areaWidth x areaHeight when it is scaled
// to fit with its aspect ratio kept: the largest such rectangle, centred, relative to the area.
// Empty for an empty picture or area.
Bounds FitPicture(int width, int height, int areaWidth, int areaHeight);
