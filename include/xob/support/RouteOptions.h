// The route options of the navigation interface: the settings a route was calculated with. The
// members are declared in this order; every value is 0 and both lists are empty references after
// default construction.
#ifndef XOB_SUPPORT_ROUTEOPTIONS_H
#define XOB_SUPPORT_ROUTEOPTIONS_H

#include <xob/support/CIPtr.h>

namespace dsi {
namespace navigation {

struct RouteOptions {
    int type = 0;
    int weight = 0;
    int hybrid = 0;
    int dyn = 0;
    int dynSnF = 0;
    int dynPatt = 0;
    int dynOnl = 0;
    int dynRec = 0;
    int motorw = 0;
    int ferry = 0;
    int tollr = 0;
    int penalty = 0;
    int tunnel = 0;
    int leftRightTurn = 0;
    int slopes = 0;
    int slopesMaxF = 0;
    int vign = 0;
    CIPtr<CIArray<int>> vignetteCountries;
    int cityMaut = 0;
    CIPtr<CIArray<int>> cityMauts;
    int cartrain = 0;
    int timeRestr = 0;
    int seasonalRestr = 0;
    int unpaved = 0;
    int residential = 0;
    int trailer = 0;
    int hov = 0;
    int border = 0;
    int ipd = 0;
    int trail = 0;
    int wpm = 0;
    int ecoTurns = 0;
    int style = 0;
};

}  // namespace navigation
}  // namespace dsi

#endif
