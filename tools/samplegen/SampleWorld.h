// The maps of the sample world: the village, the island reached by a portal,
// and the meadow dream.
#pragma once
#include "SampleMap.h"

SampleMap BuildVillage();
SampleMap BuildIsland();
SampleMap BuildMeadowDream();
