// Media entries (function identifier 0x41B); their integers are big-endian.
#include "channel/RecordBuilder.h"
