// The call table of the golden records: one entry function per name, its arguments taken from the
// line's JSON by the names of the fields they become. Where one name has two overloads, the arguments
// given choose (ONOFFHDU_LogEntry: "event" or "text").
#include "EntryCalls.h"

#include "Golden.h"

#include <xob/GXob.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace xobtest {

char* Args::s(const char* name) {
    nlohmann::json& value = m_values.at(name);
    return value.is_null() ? nullptr : &value.get_ref<std::string&>()[0];
}

unsigned char* Args::bytes(const char* name) {
    if (absent(name)) {
        return nullptr;
    }
    // Exactly as long as the block (ASan sees a read beyond it), and a buffer even for no bytes.
    const std::vector<std::uint8_t> block = hexBytes(at(name).get<std::string>());
    std::unique_ptr<unsigned char[]>& copy = m_bytes[name] = std::unique_ptr<unsigned char[]>(new unsigned char[block.size()]);
    std::copy(block.begin(), block.end(), copy.get());
    return copy.get();
}

int Args::count(const char* name) const {
    if (has("count")) {
        return static_cast<int>(i("count"));
    }
    const nlohmann::json& value = at(name);
    if (value.is_number()) {
        return value.get<int>();
    }
    return static_cast<int>(value.is_string() ? value.get<std::string>().size() / 2 : value.size());
}

namespace {

using namespace GXob;

// A list from its items, or a number N for N distinct generated items; null for an absent list.
template <typename Item>
std::unique_ptr<std::vector<Item>> list(const nlohmann::json& items, Item (*fromJson)(const nlohmann::json&),
                                        Item (*generated)(unsigned)) {
    if (items.is_null()) {
        return nullptr;
    }
    std::unique_ptr<std::vector<Item>> result(new std::vector<Item>);
    result->reserve(items.is_number() ? items.get<unsigned>() : items.size());  // exactly: ASan sees over-reads
    if (items.is_number()) {
        for (unsigned i = 0; i < items.get<unsigned>(); ++i) {
            result->push_back(generated(i));
        }
    } else {
        for (const auto& item : items) {
            result->push_back(fromJson(item));
        }
    }
    return result;
}
template <typename Item>
const Item* data(const std::unique_ptr<std::vector<Item>>& items) {
    return items ? items->data() : nullptr;
}

SMediaListEntry mediaItem(const nlohmann::json& j) {
    return {j.at("ui16Field1").get<unsigned short>(), j.at("ui16Field2").get<unsigned short>(),
            j.at("ui32Field3").get<unsigned>(), j.at("i64Field4").get<long long>()};
}
SMediaListEntry mediaItem(unsigned i) {
    return {static_cast<unsigned short>(0x1000 + i), 0xA0B0, 0x300u + i, -1 - static_cast<long long>(i)};
}
SXOBListEntry folderItem(const nlohmann::json& j) {
    return {j.at("i64Field1").get<long long>(), j.at("ui16Field2").get<unsigned short>(),
            j.at("ui16Field3").get<unsigned short>()};
}
SXOBListEntry folderItem(unsigned i) { return {0x1122334455660000ll + i, static_cast<unsigned short>(i), 0xC0DE}; }
SModuleInfo moduleItem(const nlohmann::json& j) {
    return {j.at("ui64Field1").get<unsigned long long>(), j.at("ui32Field2").get<unsigned>(),
            j.at("ui32Field3").get<unsigned>(), j.at("ui8Field4").get<unsigned char>()};
}
SModuleInfo moduleItem(unsigned i) {
    return {0x0102030405060700ull + i, 0x100u + i, 0x280u + i, static_cast<unsigned char>(0x40 + i)};
}

char character(const Args& a) {
    const nlohmann::json& c = a.at("character");
    return c.is_number() ? static_cast<char>(c.get<int>()) : c.get<std::string>()[0];
}

// CALL(f, arguments,): GXob::f(arguments, true, callerTime).
#define CALL(entry, ...) {#entry, [](Args& a, int t) { (void)a; GXob::entry(__VA_ARGS__ true, t); }}

const std::map<std::string, EntryCall> s_calls = {
    // ---- Navigation, sensors, traffic and system ----
    CALL(PanelHDU_LogEntry, a.s("text"),),
    CALL(MiscHDU_LogEntry, a.s("first"), character(a), a.s("second"),),
    CALL(Nav_StateOfOperationHDU_LogEntry, a.i("navState"), a.i("stateOfOperation"),),
    CALL(Nav_StartRGHDU_LogEntry, a.i("voiceGuidanceMode"), a.s("routeOptions"), a.s("tmcStation"),
         a.e<NavStartReason>("reason"),),
    CALL(Nav_StopRGHDU_LogEntry, a.e<NavStopReason>("reason"),),
    CALL(Nav_ProcessStatus_LogEntry, a.i("first"), a.i("second"), a.s("text"),),
    CALL(Settings_GoogleMapInfo_LogEntry, a.u("value"),),
    CALL(TRIGGERHDU_LogEntry, a.i("value"),),
    {"MapInfo_LogEntry",
     [](Args& a, int t) {
         map_info_t info{};
         if (!a.has("info")) {
             info.zoomLevelMeters = static_cast<std::int32_t>(a.i("zoomLevelMeters"));
             info.autoZoomMode = a.e<XOBLog::AutoZoomMode>("autoZoomMode");
             info.dayNight = a.e<XOBLog::DayNightSetting>("dayNight");
             info.mapOrientationInstance0 = a.e<XOBLog::MapOrientation>("mapOrientationInstance0");
             info.mapTypeInstance0 = a.e<XOBLog::MapType>("mapTypeInstance0");
             info.mapOrientationInstance2 = a.e<XOBLog::MapOrientation>("mapOrientationInstance2");
             info.mapTypeInstance2 = a.e<XOBLog::MapType>("mapTypeInstance2");
             info.landmarks2D = a.e<XOBLog::Landmarks2D>("landmarks2D");
             info.drawRoutes = a.b("drawRoutes");
             info.highwayMap = a.b("highwayMap");
             info.parkingMapViewMode = a.b("parkingMapViewMode");
             info.mapInMapActive = a.b("mapInMapActive");
             info.trafficEventArrows = a.b("trafficEventArrows");
             info.landmarks3D = a.b("landmarks3D");
             info.memoryPointNames = a.b("memoryPointNames");
             info.trafficEventIcons = a.b("trafficEventIcons");
         }
         MapInfo_LogEntry(a.has("info") ? nullptr : &info, true, t);
     }},
    CALL(WatchDogHDU_LogEntry, a.s("first"), a.s("second"),),
    CALL(MemoryHDU_LogEntry, a.has("bytes") ? a.u("bytes") : a.u("kibibytes") * 1024,),
    CALL(MemoryHDU_VideoRAM_LogEntry, a.has("bytes") ? a.u("bytes") : a.u("kibibytes") * 1024,),
    CALL(ExceptionHDU_LogEntry, a.s("text"), a.i("first"), a.i("second"), character(a),
         reinterpret_cast<const void*>(static_cast<std::uintptr_t>(std::strtoull(a.s("address"), nullptr, 16))),),
    CALL(DiagnosisHDU_LogEntry, a.s("text"),),
    CALL(SYSHDU_LogEntry, a.s("first"), a.s("second"),),
    {"ONOFFHDU_LogEntry",
     [](Args& a, int t) {
         if (a.has("event")) {
             ONOFFHDU_LogEntry(a.e<OocXobEvent>("event"), true, t);
         } else {
             ONOFFHDU_LogEntry(a.s("text"), true, t);
         }
     }},
    CALL(OnlineHDU_LogEntry, a.s("first"), a.s("second"),),
    CALL(GoogleNav_ProcessStatus_LogEntry, a.i("first"), a.i("second"), a.s("text"),),
    CALL(GoogleNav_StartRGHDU_LogEntry,),
    CALL(GoogleNav_ConnectivityInfo_LogEntry, a.u("value"),),
    CALL(GoogleNav_RouteGuidanceInfo_LogEntry, a.u("value"),),
    CALL(Sensoric_SatRecHDU_LogEntry, a.i("value"),),
    CALL(Sensoric_OdoQualityHDU_LogEntry, a.i("value"),),
    CALL(Sensoric_GyroQualityHDU_LogEntry, a.i("value"),),
    CALL(Sensoric_SensorCalibration_Status, a.s("text"),),
    CALL(Sensoric_SensorData_LogEntry, reinterpret_cast<const unsigned char*>(a.s("data")), a.i("count"),),
    CALL(Traffic_TmcInfoHDU_LogEntry, a.s("text"),),
    CALL(Traffic_GoogleTmcInfoHDU_LogEntry, a.s("text"),),
    CALL(Nav_SWDL_Check, a.i("component"), a.s("path"),),
    CALL(Nav_SWDL_Check_Result, a.i("component"), a.s("path"), a.i("result"),),
    CALL(Nav_SWDL_Prepare, a.i("component"),),
    CALL(Nav_SWDL_Prepare_Result, a.i("component"), a.i("result"),),
    CALL(Nav_SWDL_Finalize, a.i("component"),),
    CALL(Nav_SWDL_Finalize_Result, a.i("component"), a.i("result"),),
    CALL(Nav_Error_GoogleReportError_LogEntry, a.s("text"),),
    CALL(Nav_Error_ReportError_LogEntry, a.s("text"),),
    // ---- Media ----
    CALL(Media_MediaListDump, data(list<SMediaListEntry>(a.at("entries"), mediaItem, mediaItem)), a.count("entries"),),
    CALL(Media_MediaEventOpticalDrive, a.e<MediaEventType>("eventType"), a.e<MediaType>("mediaType"),
         a.u("ui16Value"),),
    CALL(Media_MediaEventExternalDevice, a.u("ui16Value"), a.s("text"), a.s("shortText"),),
    CALL(Media_RecorderEvent, a.u("ui16Value1"), a.e<MediaRecorderEventType>("eventType"), a.u("ui16Value2"),
         a.u("ui64Value"),),
    CALL(Media_AsyncException, a.e<DSIType>("dsiType"), a.u("ui8Value"), a.u("ui16Value1"), a.u("ui16Value2"),
         a.s("text"),),
    CALL(Media_PlayerLogEntry, a.u("ui16Value"), a.u("ui8Value1"), a.u("ui8Value2"), a.i("i32Value"),),
    CALL(Media_PlayerDSILogEntry, a.u("ui8Value1"), a.u("ui8Value2"), a.u("ui16Value1"), a.u("ui16Value2"),
         a.e<MediaType>("mediaType1"), a.u("ui16Value3"), a.u("ui16Value4"), a.e<MediaType>("mediaType2"),),
    CALL(Media_PlaybackErrorLogEntry, a.u("ui64Value"), a.u("ui16Value"), a.u("ui8Value1"), a.u("ui8Value2"),
         a.u("ui8Value3"), a.s("text"),),
    CALL(Media_PlayerDSIRequest, a.u("ui16Value"), a.u("ui8Value1"), a.u("ui8Value2"), a.u("ui8Value3"),
         a.u("ui8Value4"),),
    CALL(HDU_Media_MediaEventUSBDevice, a.e<MediaEventType>("eventType"), a.u("ui16Value1"), a.u("ui16Value2"),
         a.u("ui8Value1"), a.u("ui8Value2"), a.u("ui8Value3"), a.u("ui8Value4"),),
    CALL(HDU_Media_OpticalDriveTemperatureState, a.e<DriveTemperatureState>("state"),),
    CALL(HDU_Media_OpticalDriveTemperatureValue, a.i("i16Temperature"),),
    CALL(HDU_Media_OpticalDriveSlotState, a.u("ui8Value1"), a.u("ui8Value2"), a.u("ui8Value3"),),
    CALL(HDU_Media_MediaEnginePlaybackStateLogEntry, a.u("ui8Value"), a.e<PlaybackState>("state"), a.i("i32Value"),),
    CALL(HDU_Media_DSIPlaybackStateLogEntry, a.u("ui8Value"), a.e<PlaybackState>("state"),),
    CALL(HDU_Media_BrowserChangeFolderLogEntry, a.i("i64Value"), a.u("ui8Value"), a.s("folder"),
         data(list<SXOBListEntry>(a.at("entries"), folderItem, folderItem)), a.count("entries"),),
    CALL(HDU_Media_RunModeRequestServiceManagement, a.u("ui32Value"), a.u("ui64Value"),),
    CALL(HDU_Media_RunModeUpdateServiceManagement, a.u("ui64Value"), a.u("ui32Value"),),
    CALL(HDU_Media_FlushRequestServiceManagement,),
    CALL(HDU_Media_FlushResponseServiceManagement, a.b("response"),),
    CALL(HDU_Media_ModuleEventWatchdog, moduleItem(a.all()),),
    CALL(HDU_Media_ModulesDump, data(list<SModuleInfo>(a.at("modules"), moduleItem, moduleItem)), a.count("modules"),),
    CALL(HDU_Media_MediaEngineAdapterError, a.u("ui8Value"), a.i("i32Value"),),
    CALL(HDU_Media_SystemModeChanged, a.i("i32Mode"),),
    CALL(HDU_Media_MediaLauncherError, a.e<MediaLauncherError>("error"),),
    CALL(HDU_Media_CustomerUpdateAction, a.e<CustomerUpdateAction>("action"), a.b("flag"),),
    // ---- Telephone, Bluetooth, GEPB, WLAN, PSD and MOST navigation guide ----
    CALL(TelFix_Boot_LogEntry,),
    CALL(TelFix_CallDropped_LogEntry, a.s("info"),),
    CALL(BTFix_Boot_LogEntry,),
    CALL(BTFix_LinkLossBTHS_LogEntry,),
    CALL(BTFix_SAPConnectionToBTHS1_LogEntry,),
    CALL(BTFix_SAPConnectionToBTHS2_LogEntry,),
    CALL(BTFix_Generic_Logging, a.e<BTFixSelector>("sub"),),
    CALL(BTFix_ParrotVersion_LogEntry, a.s("version"),),
    CALL(BTFix_MarvellVersion_LogEntry, a.s("version"),),
    CALL(BTLog_ConnectionDrop_LogEntry, a.s("device"), a.s("reason"), a.u("value1"), a.u("value2"),),
    CALL(BTLog_Exception_LogEntry, a.u("code"),),
    CALL(GEPB_LogEntry, a.e<GEPBEvent>("sub"), a.s("text"),),
    CALL(Tel_CallDropDynamicData_LogEntry, a.s("text1"), a.s("text2"), a.s("text3"), a.s("text4"), a.s("text5"),),
    CALL(Tel_StaticData_LogEntry, a.s("text1"), a.s("text2"), a.s("text3"), a.s("text4"), a.s("text5"),),
    CALL(Tel_Exception_LogEntry, a.s("info"),),
    {"WLAN_SetProfile_LogEntry",
     [](Args& a, int t) {
         std::string texts;  // the four texts back to back
         for (const char* name : {"text1", "text2", "text3", "text4"}) {
             texts += a.has(name) && !a.absent(name) ? a.s(name) + std::string(1, '\0') : "";
         }
         WLAN_SetProfile_LogEntry(a.s("name"), a.u("value1"), a.e<eWlanOpMode>("opMode"), a.u("value2"),
                                  a.e<eWlanAuth>("auth"), a.e<eWlanEnc>("enc"), a.u("value3"),
                                  a.absent("text1") ? nullptr : &texts[0], true, t);
     }},
    CALL(WLAN_client_LogEntry, a.u("value1"), a.u("value2"), a.bytes("address"),),
    CALL(WLAN_joinUPNPServer_LogEntry, a.s("server"),),
    CALL(WLAN_leaveUPNPServer_LogEntry, a.s("server"),),
    CALL(WLAN_startBSS_LogEntry, a.bytes("address"),),
    CALL(WLAN_stopBSS_LogEntry, a.bytes("address"),),
    CALL(WLAN_requestConnect_LogEntry,),
    CALL(WLAN_errorOccured_LogEntry, a.u("error"),),
    CALL(MostNavGuide_FramedropsHDU_LogEntry, a.e<EFrameDropReason>("reason"), a.u("drops"),),
    CALL(MostNavGuide_ErrorMsgHDU_LogEntry, a.s("message"),),
    CALL(MostNavGuide_ComBreakdownHDU_LogEntry,),
    CALL(MostNavGuide_SyncRequestHDU_LogEntry, a.e<ESyncRequestResult>("result"),),
    CALL(PSD_PSD01_XmitErrorHDU_LogEntry, a.u("value"), a.bytes("bytes"), a.count("bytes"),),
    CALL(PSD_PSD02_XmitErrorHDU_LogEntry, a.u("value"), a.bytes("bytes"), a.count("bytes"),),
    CALL(PSD_PSD01_ErrorMsgHDU_LogEntry, a.u("value"), a.bytes("bytes"), a.count("bytes"),),
    CALL(PSD_PSD02_ErrorMsgHDU_LogEntry, a.u("value"), a.bytes("bytes"), a.count("bytes"),),
    CALL(PSD_GatewayMissingHDU_LogEntry,),
    CALL(PSD_MsgErrorHDU_LogEntry, a.e<PSDSelector>("sub"), a.u("value"), a.bytes("bytes"), a.count("bytes"),),
};

#undef CALL

}  // namespace

const std::map<std::string, EntryCall>& entryCalls() { return s_calls; }

}  // namespace xobtest
