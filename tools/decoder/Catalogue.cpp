// The catalogue table. One row per entry kind: its name, how it is told apart inside its function
// identifier, and its payload fields in payload order (which is not always parameter order). Field
// names are the parameter names of the entry functions and the member names of the records they
// take, so that a decoded field reads like the call that made it.
#include "Catalogue.h"

#include <xob/GXob.h>

#include <utility>

namespace xob {
namespace decoder {

const char* EnumTable::lookup(std::int64_t value) const {
    for (const Enumerator& e : values) {
        if (e.value == value) {
            return e.name;
        }
    }
    return nullptr;
}

namespace {

// ---- Field constructors: the vocabulary of the table ----

FieldLayout integer(const char* name, FieldType type, int width, ByteOrder order,
                  const EnumTable* names = nullptr) {
    FieldLayout f;
    f.name = name;
    f.type = type;
    f.width = static_cast<std::uint8_t>(width);
    f.order = order;
    f.names = names;
    return f;
}

constexpr ByteOrder LE = ByteOrder::Little;
constexpr ByteOrder BE = ByteOrder::Big;

FieldLayout u8(const char* name, const EnumTable* names = nullptr) {
    return integer(name, FieldType::Unsigned, 1, LE, names);
}
FieldLayout s8(const char* name, const EnumTable* names = nullptr) {
    return integer(name, FieldType::Signed, 1, LE, names);
}
FieldLayout u16(const char* name, ByteOrder order) { return integer(name, FieldType::Unsigned, 2, order); }
FieldLayout s16(const char* name, ByteOrder order) { return integer(name, FieldType::Signed, 2, order); }
FieldLayout u32(const char* name, ByteOrder order) { return integer(name, FieldType::Unsigned, 4, order); }
FieldLayout s32(const char* name, ByteOrder order, const EnumTable* names = nullptr) {
    return integer(name, FieldType::Signed, 4, order, names);
}
FieldLayout u64(const char* name, ByteOrder order) { return integer(name, FieldType::Unsigned, 8, order); }
FieldLayout s64(const char* name, ByteOrder order) { return integer(name, FieldType::Signed, 8, order); }

FieldLayout hex32(const char* name) {
    FieldLayout f = u32(name, LE);
    f.hex = true;
    return f;
}

FieldLayout masked(FieldLayout f, std::uint64_t mask) {
    f.mask = mask;
    return f;
}

FieldLayout sized(const char* name, FieldType type, int size) {
    FieldLayout f;
    f.name = name;
    f.type = type;
    f.size = static_cast<std::uint16_t>(size);
    return f;
}

FieldLayout boolean(const char* name) { return sized(name, FieldType::Bool, 1); }
FieldLayout character(const char* name) { return sized(name, FieldType::Char, 1); }
FieldLayout text(const char* name, int cap) { return sized(name, FieldType::Text, cap); }
FieldLayout bytes(const char* name, int count) { return sized(name, FieldType::Bytes, count); }
FieldLayout byteRest(const char* name, int most) { return sized(name, FieldType::ByteRest, most); }
FieldLayout gap(int count) { return sized("", FieldType::Gap, count); }

FieldLayout flags(std::vector<const char*> bitNames) {
    FieldLayout f = sized("flags", FieldType::Flags, 1);
    for (const char* bit : bitNames) {
        f.items.push_back(boolean(bit));
    }
    return f;
}

FieldLayout list(const char* name, int cap, std::vector<FieldLayout> item) {
    FieldLayout f = sized(name, FieldType::List, cap);
    f.items = std::move(item);
    return f;
}

// ---- Rows ----

struct Row {
    const char* name;
    KeyKind key;
    std::uint32_t keyMask;
    std::uint32_t keyValue;
    std::vector<FieldLayout> fields;
};

Row sub(int subId, const char* name, std::vector<FieldLayout> fields = {}) {
    return {name, KeyKind::SubId, 0xFF, static_cast<std::uint32_t>(subId), std::move(fields)};
}
Row anySub(const char* name, std::vector<FieldLayout> fields = {}) {
    return {name, KeyKind::AnySubId, 0, 0, std::move(fields)};
}
Row only(const char* name, std::vector<FieldLayout> fields) {
    return {name, KeyKind::None, 0, 0, std::move(fields)};
}
Row bits(std::uint32_t mask, std::uint32_t value, const char* name, std::vector<FieldLayout> fields) {
    return {name, KeyKind::Bits, mask, value, std::move(fields)};
}

struct FamilyRows {
    std::uint16_t functionId;
    const char* title;
    std::vector<Row> rows;
};

// ---- Enumerations the library names ----

#define XOB_NAME(enumerator) Enumerator{GXob::enumerator, #enumerator}
#define XOB_OBJECT_LAYER_NAME(enumerator) Enumerator{XOBLog::enumerator, #enumerator}

const EnumTable kVoiceGuidanceMode{"XOBLog::VoiceGuidanceMode",
    {XOB_OBJECT_LAYER_NAME(VGM_UNDEFINED), XOB_OBJECT_LAYER_NAME(VGM_COMPACT),
     XOB_OBJECT_LAYER_NAME(VGM_COMPLETE), XOB_OBJECT_LAYER_NAME(VGM_TRAFFIC), XOB_OBJECT_LAYER_NAME(VGM_OFF)}};

const EnumTable kNavStartReason{"GXob::NavStartReason",
    {XOB_NAME(NSR_ManualStart), XOB_NAME(NSR_SectionBlocked), XOB_NAME(NSR_TmcRecalculationStart)}};
const EnumTable kMediaType{"GXob::MediaType",
    {XOB_NAME(MT_Unknown), XOB_NAME(MT_AudioCD), XOB_NAME(MT_DataCD), XOB_NAME(MT_DVDAudio),
     XOB_NAME(MT_DVDVideo), XOB_NAME(MT_USBMassStorage), XOB_NAME(MT_SDCard),
     XOB_NAME(MT_AppleDevice), XOB_NAME(MT_MTPDevice), XOB_NAME(MT_BluetoothAudio),
     XOB_NAME(MT_HardDisk), XOB_NAME(MT_AuxIn)}};
const EnumTable kPlaybackState{"GXob::PlaybackState",
    {XOB_NAME(MPS_Stopped), XOB_NAME(MPS_Playing), XOB_NAME(MPS_Paused), XOB_NAME(MPS_FastForward),
     XOB_NAME(MPS_FastRewind), XOB_NAME(MPS_Buffering), XOB_NAME(MPS_Error)}};
const EnumTable kMediaEventType{"GXob::MediaEventType",
    {XOB_NAME(MEV_Inserted), XOB_NAME(MEV_Ejected), XOB_NAME(MEV_Attached), XOB_NAME(MEV_Detached),
     XOB_NAME(MEV_Mounted), XOB_NAME(MEV_Unmounted), XOB_NAME(MEV_Unsupported),
     XOB_NAME(MEV_ReadError), XOB_NAME(MEV_Overcurrent)}};
const EnumTable kMediaRecorderEventType{"GXob::MediaRecorderEventType",
    {XOB_NAME(MRE_Started), XOB_NAME(MRE_Stopped), XOB_NAME(MRE_Paused), XOB_NAME(MRE_Resumed),
     XOB_NAME(MRE_StorageFull), XOB_NAME(MRE_WriteError)}};
const EnumTable kDSIType{"GXob::DSIType",
    {XOB_NAME(MDSI_Unknown), XOB_NAME(MDSI_Player), XOB_NAME(MDSI_Browser),
     XOB_NAME(MDSI_MediaList), XOB_NAME(MDSI_DeviceManager), XOB_NAME(MDSI_Recorder)}};
const EnumTable kCustomerUpdateAction{"GXob::CustomerUpdateAction",
    {XOB_NAME(CUA_None), XOB_NAME(CUA_Search), XOB_NAME(CUA_Start), XOB_NAME(CUA_Install),
     XOB_NAME(CUA_Cancel), XOB_NAME(CUA_Finish)}};
const EnumTable kMediaLauncherError{"GXob::MediaLauncherError",
    {XOB_NAME(MLE_None), XOB_NAME(MLE_StartFailed), XOB_NAME(MLE_StartTimeout),
     XOB_NAME(MLE_ProcessDied), XOB_NAME(MLE_ConfigurationMissing)}};
const EnumTable kDriveTemperatureState{"GXob::DriveTemperatureState",
    {XOB_NAME(DTS_Normal), XOB_NAME(DTS_Warning), XOB_NAME(DTS_Critical), XOB_NAME(DTS_Shutdown)}};
const EnumTable kSyncRequestResult{"GXob::ESyncRequestResult",
    {XOB_NAME(SRR_Success), XOB_NAME(SRR_Failed), XOB_NAME(SRR_Timeout)}};
const EnumTable kFrameDropReason{"GXob::EFrameDropReason",
    {XOB_NAME(FDR_Unknown), XOB_NAME(FDR_BufferOverflow), XOB_NAME(FDR_Timeout)}};
const EnumTable kWlanOpMode{"GXob::eWlanOpMode",
    {XOB_NAME(WLAN_OPM_Infrastructure), XOB_NAME(WLAN_OPM_AdHoc), XOB_NAME(WLAN_OPM_AccessPoint)}};
const EnumTable kWlanAuth{"GXob::eWlanAuth",
    {XOB_NAME(WLAN_AUTH_Open), XOB_NAME(WLAN_AUTH_Shared), XOB_NAME(WLAN_AUTH_WPA),
     XOB_NAME(WLAN_AUTH_WPA2)}};
const EnumTable kWlanEnc{"GXob::eWlanEnc",
    {XOB_NAME(WLAN_ENC_None), XOB_NAME(WLAN_ENC_WEP), XOB_NAME(WLAN_ENC_TKIP),
     XOB_NAME(WLAN_ENC_AES)}};

#undef XOB_NAME
#undef XOB_OBJECT_LAYER_NAME

// ---- The table ----

std::vector<FamilyRows> table() {
    const auto module = [] {
        return std::vector<FieldLayout>{u64("ui64Field1", BE), u8("ui32Field2"), u8("ui32Field3"),
                                      u8("ui8Field4")};
    };
    const auto swdlPath = [] { return text("path", 64); };
    const auto psd = [] { return std::vector<FieldLayout>{u8("value"), byteRest("bytes", 8)}; };
    const auto status = [] {
        return std::vector<FieldLayout>{s32("first", LE), s32("second", LE), text("text", 64)};
    };
    const auto gapThen = [](FieldLayout value) { return std::vector<FieldLayout>{gap(3), value}; };
    return {
        {0x408, "panel event", {only("PanelHDU_LogEntry", {text("text", 31)})}},
        {0x409, "miscellaneous event",
         {only("MiscHDU_LogEntry", {character("character"), text("first", 4), text("second", 60)})}},
        {0x410, "telephone fixed events",
         {sub(0, "TelFix_Boot_LogEntry"), sub(1, "TelFix_CallDropped_LogEntry", {text("info", 128)})}},
        {0x411, "Bluetooth fixed events",
         {sub(0, "BTFix_Boot_LogEntry"), sub(1, "BTFix_LinkLossBTHS_LogEntry"),
          sub(2, "BTFix_SAPConnectionToBTHS1_LogEntry"), sub(3, "BTFix_SAPConnectionToBTHS2_LogEntry"),
          sub(4, "BTFix_ParrotVersion_LogEntry", {text("version", 81)}),
          sub(5, "BTFix_MarvellVersion_LogEntry", {text("version", 81)}),
          anySub("BTFix_Generic_Logging")}},
        {0x412, "Bluetooth log data",
         {sub(0, "BTLog_ConnectionDrop_LogEntry",
              {u32("value1", LE), u32("value2", LE), text("device", 50), text("reason", 128)}),
          sub(1, "BTLog_Exception_LogEntry", {u32("code", LE)})}},
        // The event is the sub-identifier and sets the text's cap; other events keep no text.
        {0x413, "GEPB",
         {sub(0, "GEPB_LogEntry", {text("text", 18)}), sub(1, "GEPB_LogEntry", {text("text", 36)}),
          sub(2, "GEPB_LogEntry", {text("text", 18)}), sub(3, "GEPB_LogEntry", {text("text", 18)}),
          anySub("GEPB_LogEntry", {text("text", 1)})}},
        {0x414, "telephone log data",
         {sub(0, "Tel_CallDropDynamicData_LogEntry",
              {text("text1", 16), text("text2", 8), text("text3", 30), text("text4", 50),
               text("text5", 50)}),
          sub(1, "Tel_StaticData_LogEntry",
              {text("text1", 18), text("text2", 16), text("text3", 16), text("text4", 16),
               text("text5", 32)}),
          sub(2, "Tel_Exception_LogEntry", {text("info", 128)})}},
        {0x418, "navigation route guidance and state",
         {sub(0, "Nav_StateOfOperationHDU_LogEntry", {s8("navState"), s8("stateOfOperation")}),
          sub(1, "Nav_StartRGHDU_LogEntry",
              {s8("voiceGuidanceMode", &kVoiceGuidanceMode), text("routeOptions", 64), text("tmcStation", 64),
               s32("reason", LE, &kNavStartReason)}),
          sub(2, "Nav_StopRGHDU_LogEntry", {u8("reason")}),
          sub(3, "Nav_ProcessStatus_LogEntry", status())}},
        {0x41B, "media",
         {sub(0, "Media_MediaListDump",
              {list("entries", 20, {u16("ui16Field1", BE), u16("ui16Field2", BE), u8("ui32Field3"),
                                    s64("i64Field4", BE)})}),
          sub(1, "Media_MediaEventOpticalDrive",
              {u8("eventType", &kMediaEventType), u8("mediaType", &kMediaType), u16("ui16Value", BE)}),
          sub(2, "Media_MediaEventExternalDevice",
              {text("text", 128), text("shortText", 32), u16("ui16Value", BE)}),
          sub(3, "Media_RecorderEvent",
              {u16("ui16Value1", BE), u8("eventType", &kMediaRecorderEventType), u16("ui16Value2", BE),
               u64("ui64Value", BE)}),
          sub(4, "Media_AsyncException",
              {text("text", 128), u8("dsiType", &kDSIType), u8("ui8Value"), u16("ui16Value1", BE),
               u16("ui16Value2", BE)}),
          sub(5, "Media_PlayerLogEntry",
              {u16("ui16Value", BE), u8("ui8Value1"), u8("ui8Value2"), s32("i32Value", BE)}),
          sub(6, "Media_PlayerDSILogEntry",
              {u8("ui8Value1"), u8("ui8Value2"), u16("ui16Value1", BE), u16("ui16Value2", BE),
               u8("mediaType1", &kMediaType), u16("ui16Value3", BE), u16("ui16Value4", BE),
               u8("mediaType2", &kMediaType)}),
          sub(7, "Media_PlaybackErrorLogEntry",
              {text("text", 128), u64("ui64Value", BE), u16("ui16Value", BE), u8("ui8Value1"),
               u8("ui8Value2"), u8("ui8Value3")}),
          sub(8, "Media_PlayerDSIRequest",
              {u16("ui16Value", BE), u8("ui8Value1"), u8("ui8Value2"), u8("ui8Value3"),
               u8("ui8Value4")}),
          sub(9, "HDU_Media_MediaEventUSBDevice",
              {u8("eventType", &kMediaEventType), u16("ui16Value1", BE), u16("ui16Value2", BE),
               u8("ui8Value1"), u8("ui8Value2"), u8("ui8Value3"), u8("ui8Value4")}),
          sub(10, "HDU_Media_OpticalDriveTemperatureState", {u8("state", &kDriveTemperatureState)}),
          sub(11, "HDU_Media_OpticalDriveTemperatureValue", {s16("i16Temperature", BE)}),
          sub(12, "HDU_Media_OpticalDriveSlotState", {u8("ui8Value1"), u8("ui8Value2"), u8("ui8Value3")}),
          sub(13, "HDU_Media_MediaEnginePlaybackStateLogEntry",
              {u8("ui8Value"), u8("state", &kPlaybackState), s32("i32Value", BE)}),
          sub(14, "HDU_Media_DSIPlaybackStateLogEntry", {u8("ui8Value"), u8("state", &kPlaybackState)}),
          sub(15, "HDU_Media_BrowserChangeFolderLogEntry",
              {text("folder", 128),
               list("entries", 10, {s64("i64Field1", BE), u16("ui16Field2", BE), u16("ui16Field3", BE)}),
               s64("i64Value", BE), u8("ui8Value")}),
          sub(16, "HDU_Media_RunModeRequestServiceManagement",
              {u32("ui32Value", BE), u64("ui64Value", BE)}),
          sub(17, "HDU_Media_RunModeUpdateServiceManagement",
              {u64("ui64Value", BE), u32("ui32Value", BE)}),
          sub(18, "HDU_Media_FlushRequestServiceManagement"),
          sub(19, "HDU_Media_FlushResponseServiceManagement", {boolean("response")}),
          sub(20, "HDU_Media_ModuleEventWatchdog", module()),
          sub(21, "HDU_Media_ModulesDump", {list("modules", 40, module())}),
          sub(22, "HDU_Media_MediaEngineAdapterError", {u8("ui8Value"), s32("i32Value", BE)}),
          sub(23, "HDU_Media_SystemModeChanged", {s32("i32Mode", BE)}),
          sub(24, "HDU_Media_MediaLauncherError", {u8("error", &kMediaLauncherError)}),
          sub(25, "HDU_Media_CustomerUpdateAction",
              {u8("action", &kCustomerUpdateAction), boolean("flag")})}},
        {0x420, "settings", {sub(4, "Settings_GoogleMapInfo_LogEntry", {u32("value", LE)})}},
        {0x421, "trigger", {only("TRIGGERHDU_LogEntry", {s32("value", LE)})}},
        {0x426, "map information",
         {sub(1, "MapInfo_LogEntry",
              {s32("zoomLevelMeters", LE), u8("autoZoomMode"), u8("dayNight"),
               u8("mapOrientationInstance0"), u8("mapTypeInstance0"), u8("mapOrientationInstance2"),
               u8("mapTypeInstance2"), u8("landmarks2D"),
               flags({"drawRoutes", "highwayMap", "parkingMapViewMode", "mapInMapActive",
                      "trafficEventArrows", "landmarks3D", "memoryPointNames", "trafficEventIcons"})})}},
        {0x428, "MOST navigation guide",
         {sub(0, "MostNavGuide_FramedropsHDU_LogEntry",
              {u8("reason", &kFrameDropReason), gap(2), u32("drops", LE)}),
          sub(1, "MostNavGuide_ErrorMsgHDU_LogEntry", {text("message", 64)}),
          sub(2, "MostNavGuide_ComBreakdownHDU_LogEntry"),
          sub(3, "MostNavGuide_SyncRequestHDU_LogEntry", {u8("result", &kSyncRequestResult)})}},
        {0x429, "PSD errors",
         {sub(0, "PSD_PSD01_XmitErrorHDU_LogEntry", psd()), sub(1, "PSD_PSD02_XmitErrorHDU_LogEntry", psd()),
          sub(2, "PSD_PSD01_ErrorMsgHDU_LogEntry", psd()), sub(3, "PSD_PSD02_ErrorMsgHDU_LogEntry", psd()),
          sub(4, "PSD_GatewayMissingHDU_LogEntry"), anySub("PSD_MsgErrorHDU_LogEntry", psd())}},
        {0x703, "watchdog",
         {only("WatchDogHDU_LogEntry", {text("second", 129), text("first", 129)})}},
        // The video-memory entry sets bit 31; the figure itself is in the bits below it.
        {0x70A, "memory",
         {bits(0x80000000u, 0, "MemoryHDU_LogEntry", {u32("kibibytes", LE)}),
          bits(0x80000000u, 0x80000000u, "MemoryHDU_VideoRAM_LogEntry",
               {masked(u32("kibibytes", LE), 0x7FFFFFFF)})}},
        {0x72A, "exception",
         {only("ExceptionHDU_LogEntry",
               {text("text", 129), s32("first", LE), s32("second", LE), character("character"),
                hex32("address")})}},
        {0x740, "WLAN profile",
         {only("WLAN_SetProfile_LogEntry",
               {text("name", 33), u8("value1"), u8("opMode", &kWlanOpMode), u8("value2"),
                u8("auth", &kWlanAuth), u8("enc", &kWlanEnc), u8("value3"), text("text1", 65),
                text("text2", 65), text("text3", 65), text("text4", 65)})}},
        {0x741, "WLAN events",
         {sub(0, "WLAN_client_LogEntry", {u8("value1"), u8("value2"), bytes("address", 6)}),
          sub(1, "WLAN_joinUPNPServer_LogEntry", {text("server", 64)}),
          sub(2, "WLAN_leaveUPNPServer_LogEntry", {text("server", 64)}),
          sub(3, "WLAN_startBSS_LogEntry", {bytes("address", 6)}),
          sub(4, "WLAN_stopBSS_LogEntry", {bytes("address", 6)}),
          sub(5, "WLAN_requestConnect_LogEntry"),
          sub(6, "WLAN_errorOccured_LogEntry", {u16("error", LE)})}},
        {0x750, "diagnosis", {only("DiagnosisHDU_LogEntry", {text("text", 129)})}},
        {0x752, "system event", {only("SYSHDU_LogEntry", {text("first", 129), text("second", 129)})}},
        {0x753, "on/off",
         {sub(0, "ONOFFHDU_LogEntry", {text("text", 80)}), sub(1, "ONOFFHDU_LogEntry", {u16("event", LE)})}},
        {0x754, "online", {only("OnlineHDU_LogEntry", {text("first", 64), text("second", 128)})}},
        {0x756, "Google navigation",
         {sub(0, "GoogleNav_ProcessStatus_LogEntry", status()),
          sub(1, "GoogleNav_StartRGHDU_LogEntry"),
          sub(2, "GoogleNav_ConnectivityInfo_LogEntry", gapThen(u32("value", LE))),
          sub(3, "GoogleNav_RouteGuidanceInfo_LogEntry", gapThen(u32("value", LE)))}},
        {0x757, "sensors",
         {sub(0, "Sensoric_SatRecHDU_LogEntry", gapThen(s32("value", LE))),
          sub(1, "Sensoric_OdoQualityHDU_LogEntry", gapThen(s32("value", LE))),
          sub(2, "Sensoric_GyroQualityHDU_LogEntry", gapThen(s32("value", LE))),
          sub(3, "Sensoric_SensorCalibration_Status", {text("text", 64)}),
          sub(4, "Sensoric_SensorData_LogEntry", {text("data", 64), s32("count", LE)})}},
        {0x758, "traffic information",
         {sub(0, "Traffic_TmcInfoHDU_LogEntry", {text("text", 64)}),
          sub(1, "Traffic_GoogleTmcInfoHDU_LogEntry", {text("text", 64)})}},
        {0x759, "software download of navigation components",
         {sub(0, "Nav_SWDL_Check", {s8("component"), swdlPath()}),
          sub(1, "Nav_SWDL_Check_Result", {s8("component"), swdlPath(), s8("result")}),
          sub(2, "Nav_SWDL_Prepare", {s8("component")}),
          sub(3, "Nav_SWDL_Prepare_Result", {s8("component"), s8("result")}),
          sub(4, "Nav_SWDL_Finalize", {s8("component")}),
          sub(5, "Nav_SWDL_Finalize_Result", {s8("component"), s8("result")})}},
        {0x760, "navigation errors",
         {sub(0, "Nav_Error_GoogleReportError_LogEntry", {text("text", 64)}),
          sub(1, "Nav_Error_ReportError_LogEntry", {text("text", 64)})}},
    };
}

struct Catalogue {
    std::vector<Family> families;
    std::vector<EntryKind> kinds;

    Catalogue() {
        for (FamilyRows& family : table()) {
            families.push_back({family.functionId, family.title});
            for (Row& row : family.rows) {
                kinds.push_back({row.name, family.functionId, row.key, row.keyMask, row.keyValue,
                                 std::move(row.fields)});
            }
        }
    }
};

const Catalogue& catalogue() {
    static const Catalogue s_catalogue;
    return s_catalogue;
}

bool keyMatches(const EntryKind& kind, const std::uint8_t* payload, std::size_t size) {
    switch (kind.key) {
    case KeyKind::None:
        return true;
    case KeyKind::SubId:
        return size >= 1 && payload[0] == kind.keyValue;
    case KeyKind::AnySubId:
        return size >= 1;
    case KeyKind::Bits:
        if (size < 4) {
            return false;
        }
        const std::uint32_t value = payload[0] | (payload[1] << 8) | (payload[2] << 16) |
                                    (static_cast<std::uint32_t>(payload[3]) << 24);
        return (value & kind.keyMask) == kind.keyValue;
    }
    return false;
}

}  // namespace

const std::vector<EntryKind>& entryKinds() { return catalogue().kinds; }

const std::vector<Family>& families() { return catalogue().families; }

const Family* findFamily(std::uint16_t functionId) {
    for (const Family& family : families()) {
        if (family.functionId == functionId) {
            return &family;
        }
    }
    return nullptr;
}

const EntryKind* findEntryKind(std::uint16_t functionId, const std::uint8_t* payload,
                               std::size_t size, bool* known) {
    const EntryKind* fallback = nullptr;
    bool seen = false;
    for (const EntryKind& kind : entryKinds()) {
        if (kind.functionId != functionId) {
            continue;
        }
        seen = true;
        if (!keyMatches(kind, payload, size)) {
            continue;
        }
        if (kind.key != KeyKind::AnySubId) {
            if (known != nullptr) {
                *known = true;
            }
            return &kind;
        }
        fallback = &kind;
    }
    if (known != nullptr) {
        *known = seen;
    }
    return fallback;
}

}  // namespace decoder
}  // namespace xob
