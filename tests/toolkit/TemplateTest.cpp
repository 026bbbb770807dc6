#include "ContainerFixture.h"
