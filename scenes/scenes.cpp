// The scenes as a whole: what their render steps build up over time, put back.
#include "scenes/scenes.h"

#include "scenes/scene78.h"
#include "scenes/scene9.h"

void scenes_rewind()
{
    scene7_rewind();
    scene9_rewind();
}
