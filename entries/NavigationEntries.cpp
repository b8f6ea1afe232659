// Navigation, sensor, traffic and system entries.
#include "channel/RecordBuilder.h"
