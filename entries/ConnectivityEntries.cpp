// Telephone, Bluetooth, GEPB, WLAN, PSD and MOST navigation-guide entries.
#include "channel/RecordBuilder.h"
