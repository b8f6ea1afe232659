// The statements of entries/EntryKinds.def as constexpr data: xob::kind::<function> for every entry
// kind (xob::kind::kNavigation and the like for the function identifiers), xob::kind::all() for
// the list of them all and xob::kind::families() for the identifiers with their titles. The
// enumerator names that fields refer to are stated here too, once for every reader (the decoder
// and the route-guidance logger's trace lines).
#ifndef XOB_ENTRIES_ENTRYKINDS_H
#define XOB_ENTRIES_ENTRYKINDS_H

#include "entries/Layout.h"

#include <xob/GXob.h>
#include <xob/XOBLogTypes.h>

#include <cstddef>
#include <cstdint>

namespace xob {
namespace kind {

using namespace xob::layout;

// ---- Enumerator names ----

#define XOB_NAME(scope, enumerator) Enumerator{scope::enumerator, #enumerator}
#define XOB_NAMES(ident, title, ...)                                 \
    constexpr Enumerator ident##Values[] = {__VA_ARGS__};            \
    constexpr Names ident{title, ident##Values, sizeof ident##Values / sizeof ident##Values[0]};

XOB_NAMES(kVoiceGuidanceMode, "XOBLog::VoiceGuidanceMode", XOB_NAME(XOBLog, VGM_UNDEFINED),
          XOB_NAME(XOBLog, VGM_COMPACT), XOB_NAME(XOBLog, VGM_COMPLETE), XOB_NAME(XOBLog, VGM_TRAFFIC),
          XOB_NAME(XOBLog, VGM_OFF))
XOB_NAMES(kNavStartReason, "GXob::NavStartReason", XOB_NAME(GXob, NSR_ManualStart),
          XOB_NAME(GXob, NSR_SectionBlocked), XOB_NAME(GXob, NSR_TmcRecalculationStart))
XOB_NAMES(kMediaType, "GXob::MediaType", XOB_NAME(GXob, MT_Unknown), XOB_NAME(GXob, MT_AudioCD),
          XOB_NAME(GXob, MT_DataCD), XOB_NAME(GXob, MT_DVDAudio), XOB_NAME(GXob, MT_DVDVideo),
          XOB_NAME(GXob, MT_USBMassStorage), XOB_NAME(GXob, MT_SDCard), XOB_NAME(GXob, MT_AppleDevice),
          XOB_NAME(GXob, MT_MTPDevice), XOB_NAME(GXob, MT_BluetoothAudio), XOB_NAME(GXob, MT_HardDisk),
          XOB_NAME(GXob, MT_AuxIn))
XOB_NAMES(kPlaybackState, "GXob::PlaybackState", XOB_NAME(GXob, MPS_Stopped), XOB_NAME(GXob, MPS_Playing),
          XOB_NAME(GXob, MPS_Paused), XOB_NAME(GXob, MPS_FastForward), XOB_NAME(GXob, MPS_FastRewind),
          XOB_NAME(GXob, MPS_Buffering), XOB_NAME(GXob, MPS_Error))
XOB_NAMES(kMediaEventType, "GXob::MediaEventType", XOB_NAME(GXob, MEV_Inserted), XOB_NAME(GXob, MEV_Ejected),
          XOB_NAME(GXob, MEV_Attached), XOB_NAME(GXob, MEV_Detached), XOB_NAME(GXob, MEV_Mounted),
          XOB_NAME(GXob, MEV_Unmounted), XOB_NAME(GXob, MEV_Unsupported), XOB_NAME(GXob, MEV_ReadError),
          XOB_NAME(GXob, MEV_Overcurrent))
XOB_NAMES(kMediaRecorderEventType, "GXob::MediaRecorderEventType", XOB_NAME(GXob, MRE_Started),
          XOB_NAME(GXob, MRE_Stopped), XOB_NAME(GXob, MRE_Paused), XOB_NAME(GXob, MRE_Resumed),
          XOB_NAME(GXob, MRE_StorageFull), XOB_NAME(GXob, MRE_WriteError))
XOB_NAMES(kDSIType, "GXob::DSIType", XOB_NAME(GXob, MDSI_Unknown), XOB_NAME(GXob, MDSI_Player),
          XOB_NAME(GXob, MDSI_Browser), XOB_NAME(GXob, MDSI_MediaList), XOB_NAME(GXob, MDSI_DeviceManager),
          XOB_NAME(GXob, MDSI_Recorder))
XOB_NAMES(kCustomerUpdateAction, "GXob::CustomerUpdateAction", XOB_NAME(GXob, CUA_None),
          XOB_NAME(GXob, CUA_Search), XOB_NAME(GXob, CUA_Start), XOB_NAME(GXob, CUA_Install),
          XOB_NAME(GXob, CUA_Cancel), XOB_NAME(GXob, CUA_Finish))
XOB_NAMES(kMediaLauncherError, "GXob::MediaLauncherError", XOB_NAME(GXob, MLE_None),
          XOB_NAME(GXob, MLE_StartFailed), XOB_NAME(GXob, MLE_StartTimeout), XOB_NAME(GXob, MLE_ProcessDied),
          XOB_NAME(GXob, MLE_ConfigurationMissing))
XOB_NAMES(kDriveTemperatureState, "GXob::DriveTemperatureState", XOB_NAME(GXob, DTS_Normal),
          XOB_NAME(GXob, DTS_Warning), XOB_NAME(GXob, DTS_Critical), XOB_NAME(GXob, DTS_Shutdown))
XOB_NAMES(kSyncRequestResult, "GXob::ESyncRequestResult", XOB_NAME(GXob, SRR_Success),
          XOB_NAME(GXob, SRR_Failed), XOB_NAME(GXob, SRR_Timeout))
XOB_NAMES(kFrameDropReason, "GXob::EFrameDropReason", XOB_NAME(GXob, FDR_Unknown),
          XOB_NAME(GXob, FDR_BufferOverflow), XOB_NAME(GXob, FDR_Timeout))
XOB_NAMES(kWlanOpMode, "GXob::eWlanOpMode", XOB_NAME(GXob, WLAN_OPM_Infrastructure),
          XOB_NAME(GXob, WLAN_OPM_AdHoc), XOB_NAME(GXob, WLAN_OPM_AccessPoint))
XOB_NAMES(kWlanAuth, "GXob::eWlanAuth", XOB_NAME(GXob, WLAN_AUTH_Open), XOB_NAME(GXob, WLAN_AUTH_Shared),
          XOB_NAME(GXob, WLAN_AUTH_WPA), XOB_NAME(GXob, WLAN_AUTH_WPA2))
XOB_NAMES(kWlanEnc, "GXob::eWlanEnc", XOB_NAME(GXob, WLAN_ENC_None), XOB_NAME(GXob, WLAN_ENC_WEP),
          XOB_NAME(GXob, WLAN_ENC_TKIP), XOB_NAME(GXob, WLAN_ENC_AES))

#undef XOB_NAMES
#undef XOB_NAME

// ---- The statements ----

#define XOB_FIELDS(...) __VA_ARGS__
#define XOB_FAMILY(ident, functionId, title) constexpr std::uint16_t ident = functionId;
#define XOB_ITEM(ident, fields)                                  \
    constexpr auto ident##Fields = fieldArray(XOB_FIELDS fields); \
    constexpr Layout ident{ident##Fields.at, ident##Fields.count};
#define XOB_ENTRY_AS(family, ident, function, key, fields)              \
    constexpr auto ident##Fields = fieldArray(XOB_FIELDS fields);        \
    constexpr Layout ident##Payload{ident##Fields.at, ident##Fields.count}; \
    constexpr Kind ident{function, family, key, &ident##Payload};
#define XOB_ENTRY(family, ident, key, fields) XOB_ENTRY_AS(family, ident, #ident, key, fields)
#define XOB_ENTRY_OF(family, ident, key, item) constexpr Kind ident{#ident, family, key, &item};

#include "entries/EntryKinds.def"

#undef XOB_FAMILY
#undef XOB_ITEM
#undef XOB_ENTRY_AS
#undef XOB_ENTRY
#undef XOB_ENTRY_OF

// ---- Every kind and every family, in the order of the statements ----

#define XOB_FAMILY(ident, functionId, title)
#define XOB_ITEM(ident, fields)
#define XOB_ENTRY_AS(family, ident, function, key, fields) &ident,
#define XOB_ENTRY(family, ident, key, fields) &ident,
#define XOB_ENTRY_OF(family, ident, key, item) &ident,
constexpr const Kind* kAllKinds[] = {
#include "entries/EntryKinds.def"
};
#undef XOB_FAMILY
#undef XOB_ENTRY_AS
#undef XOB_ENTRY
#undef XOB_ENTRY_OF

#define XOB_FAMILY(ident, functionId, title) Family{functionId, title},
#define XOB_ENTRY_AS(family, ident, function, key, fields)
#define XOB_ENTRY(family, ident, key, fields)
#define XOB_ENTRY_OF(family, ident, key, item)
constexpr Family kAllFamilies[] = {
#include "entries/EntryKinds.def"
};
#undef XOB_FAMILY
#undef XOB_ITEM
#undef XOB_ENTRY_AS
#undef XOB_ENTRY
#undef XOB_ENTRY_OF
#undef XOB_FIELDS

struct KindList {
    const Kind* const* begin() const { return kAllKinds; }
    const Kind* const* end() const { return kAllKinds + sizeof kAllKinds / sizeof kAllKinds[0]; }
};
struct FamilyList {
    const Family* begin() const { return kAllFamilies; }
    const Family* end() const { return kAllFamilies + sizeof kAllFamilies / sizeof kAllFamilies[0]; }
};
constexpr KindList all() { return {}; }
constexpr FamilyList families() { return {}; }

}  // namespace kind
}  // namespace xob

#endif
