#include "terrain/displaysettings.h"

bool lodFreeze = false;
bool lodMapping = false;
bool whiteSeams = false;
bool renderFast = false;
bool veg = false;
bool testCompile = false;
bool wireframe = false;
bool trackingMouse = false;
int baseRadius = 64;

void resetDisplaySettings()
{
    lodFreeze = lodMapping = whiteSeams = renderFast = veg = testCompile = wireframe = trackingMouse = false;
    baseRadius = 64;
}
