// One call per entry kind of the catalogue (and a few more for the entries that reach a kind
// through another function). Values are chosen so that a swapped byte order, a wrong width, a
// lost sign or a misplaced field changes what is decoded; several texts are longer than their
// caps.
#include "RoundTripCases.h"

#include <xob/GXob.h>

#include <cstdlib>

namespace xobtest {

std::vector<std::uint8_t> Args::bytes(const char* name) const {
    const std::string hex = m_values.at(name).get<std::string>();
    std::vector<std::uint8_t> result;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        result.push_back(static_cast<std::uint8_t>(std::strtoul(hex.substr(i, 2).c_str(), nullptr, 16)));
    }
    return result;
}

namespace {

using namespace GXob;

std::vector<SMediaListEntry> mediaList(const nlohmann::json& items) {
    std::vector<SMediaListEntry> list;
    for (const auto& item : items) {
        list.push_back({item.at("ui16Field1").get<unsigned short>(), item.at("ui16Field2").get<unsigned short>(),
                        item.at("ui32Field3").get<unsigned>(), item.at("i64Field4").get<long long>()});
    }
    return list;
}

std::vector<SXOBListEntry> folderList(const nlohmann::json& items) {
    std::vector<SXOBListEntry> list;
    for (const auto& item : items) {
        list.push_back({item.at("i64Field1").get<long long>(), item.at("ui16Field2").get<unsigned short>(),
                        item.at("ui16Field3").get<unsigned short>()});
    }
    return list;
}

SModuleInfo module(const nlohmann::json& item) {
    return {item.at("ui64Field1").get<unsigned long long>(), item.at("ui32Field2").get<unsigned>(),
            item.at("ui32Field3").get<unsigned>(), item.at("ui8Field4").get<unsigned char>()};
}

std::vector<SModuleInfo> moduleList(const nlohmann::json& items) {
    std::vector<SModuleInfo> list;
    for (const auto& item : items) {
        list.push_back(module(item));
    }
    return list;
}

// The PSD entries record nothing without a buffer, so an empty block still gets one.
void psd(void (*entry)(unsigned char, const unsigned char*, int, bool, int), Args& a, int t) {
    std::vector<std::uint8_t> bytes = a.bytes("bytes");
    const int count = static_cast<int>(bytes.size());
    bytes.push_back(0);
    entry(static_cast<unsigned char>(a.u("value")), bytes.data(), count, true, t);
}

// The four texts of a WLAN profile, back to back.
std::string profileTexts(const Args& a) {
    std::string texts;
    for (const char* name : {"text1", "text2", "text3", "text4"}) {
        texts += a.s(name);
        texts += '\0';
    }
    return texts;
}

std::vector<RoundTripCase> makeCases() {
    return {
        // ---- Navigation, sensor, traffic and system ----
        {"PanelHDU_LogEntry", R"({"text": "steering wheel key: volume up, long press"})",
         [](Args& a, int t) { PanelHDU_LogEntry(a.s("text"), true, t); }},
        {"MiscHDU_LogEntry", R"({"character": "M", "first": "abcd", "second": "rest of it"})",
         [](Args& a, int t) { MiscHDU_LogEntry(a.s("first"), a.s("character")[0], a.s("second"), true, t); }},
        {"TelFix_Boot_LogEntry", "{}", [](Args&, int t) { TelFix_Boot_LogEntry(true, t); }},
        {"TelFix_CallDropped_LogEntry", R"({"info": "network lost"})",
         [](Args& a, int t) { TelFix_CallDropped_LogEntry(a.s("info"), true, t); }},
        {"BTFix_Boot_LogEntry", "{}", [](Args&, int t) { BTFix_Boot_LogEntry(true, t); }},
        {"BTFix_LinkLossBTHS_LogEntry", "{}", [](Args&, int t) { BTFix_LinkLossBTHS_LogEntry(true, t); }},
        {"BTFix_SAPConnectionToBTHS1_LogEntry", "{}",
         [](Args&, int t) { BTFix_SAPConnectionToBTHS1_LogEntry(true, t); }},
        {"BTFix_SAPConnectionToBTHS2_LogEntry", "{}",
         [](Args&, int t) { BTFix_SAPConnectionToBTHS2_LogEntry(true, t); }},
        {"BTFix_SAPConnectionToBTHS1_LogEntry", R"({"sub": 2})",
         [](Args& a, int t) { BTFix_Generic_Logging(a.e<BTFixSelector>("sub"), true, t); }},
        {"BTFix_Generic_Logging", R"({"sub": 9})",
         [](Args& a, int t) { BTFix_Generic_Logging(a.e<BTFixSelector>("sub"), true, t); }},
        {"BTFix_ParrotVersion_LogEntry", R"({"version": "P3.1.4"})",
         [](Args& a, int t) { BTFix_ParrotVersion_LogEntry(a.s("version"), true, t); }},
        {"BTFix_MarvellVersion_LogEntry",
         R"({"version": "88W8787 firmware 14.66.35.p51 built for the head unit's connectivity module, rev B"})",
         [](Args& a, int t) { BTFix_MarvellVersion_LogEntry(a.s("version"), true, t); }},
        {"BTLog_ConnectionDrop_LogEntry",
         R"({"value1": 16909060, "value2": 4294967295, "device": "phone", "reason": "link supervision timeout"})",
         [](Args& a, int t) {
             BTLog_ConnectionDrop_LogEntry(a.s("device"), a.s("reason"), a.u("value1"), a.u("value2"), true, t);
         }},
        {"BTLog_Exception_LogEntry", R"({"code": 258})",
         [](Args& a, int t) { BTLog_Exception_LogEntry(a.u("code"), true, t); }},
        {"GEPB_LogEntry", R"({"sub": 0, "text": "GEPB event zero with a long text"})",
         [](Args& a, int t) { GEPB_LogEntry(a.e<GEPBEvent>("sub"), a.w("text"), true, t); }},
        {"GEPB_LogEntry", R"({"sub": 1, "text": "GEPB event one keeps thirty-five characters of its text"})",
         [](Args& a, int t) { GEPB_LogEntry(a.e<GEPBEvent>("sub"), a.w("text"), true, t); }},
        {"GEPB_LogEntry", R"({"sub": 2, "text": "two"})",
         [](Args& a, int t) { GEPB_LogEntry(a.e<GEPBEvent>("sub"), a.w("text"), true, t); }},
        {"GEPB_LogEntry", R"({"sub": 3, "text": "three"})",
         [](Args& a, int t) { GEPB_LogEntry(a.e<GEPBEvent>("sub"), a.w("text"), true, t); }},
        {"GEPB_LogEntry", R"({"sub": 7, "text": "not kept"})",
         [](Args& a, int t) { GEPB_LogEntry(a.e<GEPBEvent>("sub"), a.w("text"), true, t); }},
        {"Tel_CallDropDynamicData_LogEntry",
         R"({"text1": "+49891234567890123", "text2": "LTE", "text3": "cell 0x1A2B", "text4": "", "text5": "rssi -97"})",
         [](Args& a, int t) {
             Tel_CallDropDynamicData_LogEntry(a.s("text1"), a.s("text2"), a.s("text3"), a.s("text4"), a.s("text5"),
                                              true, t);
         }},
        {"Tel_StaticData_LogEntry",
         R"({"text1": "IMEI 356938035643809", "text2": "fw 2.1", "text3": "Provider", "text4": "", "text5": "SIM 8949"})",
         [](Args& a, int t) {
             Tel_StaticData_LogEntry(a.s("text1"), a.s("text2"), a.s("text3"), a.s("text4"), a.s("text5"), true, t);
         }},
        {"Tel_Exception_LogEntry", R"({"info": "modem reset"})",
         [](Args& a, int t) { Tel_Exception_LogEntry(a.s("info"), true, t); }},
        {"Nav_StateOfOperationHDU_LogEntry", R"({"navState": 4, "stateOfOperation": -1})",
         [](Args& a, int t) { Nav_StateOfOperationHDU_LogEntry(a.i("navState"), a.i("stateOfOperation"), true, t); }},
        {"Nav_StartRGHDU_LogEntry",
         R"({"voiceGuidanceMode": 2, "routeOptions": "type=1 dyn=0 ferries=1 motorways=1 tolls=0 tunnels=1 trailer=0",
             "tmcStation": "Antenne Bayern", "reason": 2})",
         [](Args& a, int t) {
             Nav_StartRGHDU_LogEntry(a.i("voiceGuidanceMode"), a.s("routeOptions"), a.s("tmcStation"),
                                     a.e<NavStartReason>("reason"), true, t);
         }},
        {"Nav_StopRGHDU_LogEntry", R"({"reason": 254})",
         [](Args& a, int t) { Nav_StopRGHDU_LogEntry(a.e<NavStopReason>("reason"), true, t); }},
        {"Nav_ProcessStatus_LogEntry", R"({"first": -2, "second": 16909060, "text": "ok"})",
         [](Args& a, int t) { Nav_ProcessStatus_LogEntry(a.i("first"), a.i("second"), a.s("text"), true, t); }},
        // Media: multi-byte integers are big-endian.
        {"Media_MediaListDump",
         R"({"entries": [{"ui16Field1": 258, "ui16Field2": 41136, "ui32Field3": 255, "i64Field4": -2},
                         {"ui16Field1": 0, "ui16Field2": 65535, "ui32Field3": 0, "i64Field4": 72623859790382856}]})",
         [](Args& a, int t) {
             const auto list = mediaList(a.at("entries"));
             Media_MediaListDump(list.data(), static_cast<unsigned char>(list.size()), true, t);
         }},
        {"Media_MediaEventOpticalDrive", R"({"eventType": 1, "mediaType": 4, "ui16Value": 43981})",
         [](Args& a, int t) {
             Media_MediaEventOpticalDrive(a.e<MediaEventType>("eventType"), a.e<MediaType>("mediaType"),
                                          a.u("ui16Value"), true, t);
         }},
        {"Media_MediaEventExternalDevice",
         R"({"ui16Value": 4660, "text": "usb", "shortText": "a short text that is longer than 31 chars"})",
         [](Args& a, int t) { Media_MediaEventExternalDevice(a.u("ui16Value"), a.s("text"), a.s("shortText"), true, t); }},
        {"Media_RecorderEvent",
         R"({"ui16Value1": 258, "eventType": 4, "ui16Value2": 772, "ui64Value": 18446744073709551615})",
         [](Args& a, int t) {
             Media_RecorderEvent(a.u("ui16Value1"), a.e<MediaRecorderEventType>("eventType"), a.u("ui16Value2"),
                                 a.u("ui64Value"), true, t);
         }},
        {"Media_AsyncException",
         R"({"text": "boom", "dsiType": 2, "ui8Value": 238, "ui16Value1": 258, "ui16Value2": 772})",
         [](Args& a, int t) {
             Media_AsyncException(a.e<DSIType>("dsiType"), a.u("ui8Value"), a.u("ui16Value1"), a.u("ui16Value2"),
                                  a.s("text"), true, t);
         }},
        {"Media_PlayerLogEntry", R"({"ui16Value": 48879, "ui8Value1": 1, "ui8Value2": 2, "i32Value": -2})",
         [](Args& a, int t) {
             Media_PlayerLogEntry(a.u("ui16Value"), a.u("ui8Value1"), a.u("ui8Value2"), a.i("i32Value"), true, t);
         }},
        {"Media_PlayerDSILogEntry",
         R"({"ui8Value1": 1, "ui8Value2": 2, "ui16Value1": 772, "ui16Value2": 1286, "mediaType1": 7,
             "ui16Value3": 2057, "ui16Value4": 2571, "mediaType2": 11})",
         [](Args& a, int t) {
             Media_PlayerDSILogEntry(a.u("ui8Value1"), a.u("ui8Value2"), a.u("ui16Value1"), a.u("ui16Value2"),
                                     a.e<MediaType>("mediaType1"), a.u("ui16Value3"), a.u("ui16Value4"),
                                     a.e<MediaType>("mediaType2"), true, t);
         }},
        {"Media_PlaybackErrorLogEntry",
         R"({"text": "decoder error", "ui64Value": 72623859790382856, "ui16Value": 2314, "ui8Value1": 11,
             "ui8Value2": 12, "ui8Value3": 13})",
         [](Args& a, int t) {
             Media_PlaybackErrorLogEntry(a.u("ui64Value"), a.u("ui16Value"), a.u("ui8Value1"), a.u("ui8Value2"),
                                         a.u("ui8Value3"), a.s("text"), true, t);
         }},
        {"Media_PlayerDSIRequest",
         R"({"ui16Value": 258, "ui8Value1": 3, "ui8Value2": 4, "ui8Value3": 5, "ui8Value4": 6})",
         [](Args& a, int t) {
             Media_PlayerDSIRequest(a.u("ui16Value"), a.u("ui8Value1"), a.u("ui8Value2"), a.u("ui8Value3"),
                                    a.u("ui8Value4"), true, t);
         }},
        {"HDU_Media_MediaEventUSBDevice",
         R"({"eventType": 8, "ui16Value1": 258, "ui16Value2": 772, "ui8Value1": 5, "ui8Value2": 6, "ui8Value3": 7,
             "ui8Value4": 8})",
         [](Args& a, int t) {
             HDU_Media_MediaEventUSBDevice(a.e<MediaEventType>("eventType"), a.u("ui16Value1"), a.u("ui16Value2"),
                                           a.u("ui8Value1"), a.u("ui8Value2"), a.u("ui8Value3"), a.u("ui8Value4"),
                                           true, t);
         }},
        {"HDU_Media_OpticalDriveTemperatureState", R"({"state": 2})",
         [](Args& a, int t) {
             HDU_Media_OpticalDriveTemperatureState(a.e<DriveTemperatureState>("state"), true, t);
         }},
        {"HDU_Media_OpticalDriveTemperatureValue", R"({"i16Temperature": -300})",
         [](Args& a, int t) { HDU_Media_OpticalDriveTemperatureValue(a.i("i16Temperature"), true, t); }},
        {"HDU_Media_OpticalDriveSlotState", R"({"ui8Value1": 1, "ui8Value2": 2, "ui8Value3": 255})",
         [](Args& a, int t) {
             HDU_Media_OpticalDriveSlotState(a.u("ui8Value1"), a.u("ui8Value2"), a.u("ui8Value3"), true, t);
         }},
        {"HDU_Media_MediaEnginePlaybackStateLogEntry", R"({"ui8Value": 7, "state": 2, "i32Value": 16909060})",
         [](Args& a, int t) {
             HDU_Media_MediaEnginePlaybackStateLogEntry(a.u("ui8Value"), a.e<PlaybackState>("state"),
                                                        a.i("i32Value"), true, t);
         }},
        {"HDU_Media_DSIPlaybackStateLogEntry", R"({"ui8Value": 9, "state": 1})",
         [](Args& a, int t) { HDU_Media_DSIPlaybackStateLogEntry(a.u("ui8Value"), a.e<PlaybackState>("state"), true, t); }},
        {"HDU_Media_BrowserChangeFolderLogEntry",
         R"({"folder": "/media/usb0/Music/Jazz",
             "entries": [{"i64Field1": -2, "ui16Field2": 258, "ui16Field3": 772},
                         {"i64Field1": 72623859790382856, "ui16Field2": 65534, "ui16Field3": 0}],
             "i64Value": -9223372036854775808, "ui8Value": 51})",
         [](Args& a, int t) {
             const auto list = folderList(a.at("entries"));
             HDU_Media_BrowserChangeFolderLogEntry(a.i("i64Value"), a.u("ui8Value"), a.s("folder"), list.data(),
                                                   static_cast<unsigned char>(list.size()), true, t);
         }},
        {"HDU_Media_RunModeRequestServiceManagement", R"({"ui32Value": 16909060, "ui64Value": 361984551142689548})",
         [](Args& a, int t) { HDU_Media_RunModeRequestServiceManagement(a.u("ui32Value"), a.u("ui64Value"), true, t); }},
        {"HDU_Media_RunModeUpdateServiceManagement", R"({"ui64Value": 72623859790382856, "ui32Value": 151653132})",
         [](Args& a, int t) { HDU_Media_RunModeUpdateServiceManagement(a.u("ui64Value"), a.u("ui32Value"), true, t); }},
        {"HDU_Media_FlushRequestServiceManagement", "{}",
         [](Args&, int t) { HDU_Media_FlushRequestServiceManagement(true, t); }},
        {"HDU_Media_FlushResponseServiceManagement", R"({"response": true})",
         [](Args& a, int t) { HDU_Media_FlushResponseServiceManagement(a.b("response"), true, t); }},
        {"HDU_Media_ModuleEventWatchdog",
         R"({"ui64Field1": 1, "ui32Field2": 2, "ui32Field3": 255, "ui8Field4": 127})",
         [](Args& a, int t) {
             nlohmann::json item = {{"ui64Field1", a.u("ui64Field1")}, {"ui32Field2", a.u("ui32Field2")},
                                    {"ui32Field3", a.u("ui32Field3")}, {"ui8Field4", a.u("ui8Field4")}};
             HDU_Media_ModuleEventWatchdog(module(item), true, t);
         }},
        {"HDU_Media_ModulesDump",
         R"({"modules": [{"ui64Field1": 18446744073709551615, "ui32Field2": 1, "ui32Field3": 2, "ui8Field4": 3},
                         {"ui64Field1": 4096, "ui32Field2": 200, "ui32Field3": 0, "ui8Field4": 255}]})",
         [](Args& a, int t) {
             const auto list = moduleList(a.at("modules"));
             HDU_Media_ModulesDump(list.data(), static_cast<unsigned char>(list.size()), true, t);
         }},
        {"HDU_Media_MediaEngineAdapterError", R"({"ui8Value": 5, "i32Value": -2})",
         [](Args& a, int t) { HDU_Media_MediaEngineAdapterError(a.u("ui8Value"), a.i("i32Value"), true, t); }},
        {"HDU_Media_SystemModeChanged", R"({"i32Mode": 258})",
         [](Args& a, int t) { HDU_Media_SystemModeChanged(a.i("i32Mode"), true, t); }},
        {"HDU_Media_MediaLauncherError", R"({"error": 3})",
         [](Args& a, int t) { HDU_Media_MediaLauncherError(a.e<MediaLauncherError>("error"), true, t); }},
        {"HDU_Media_CustomerUpdateAction", R"({"action": 3, "flag": true})",
         [](Args& a, int t) {
             HDU_Media_CustomerUpdateAction(a.e<CustomerUpdateAction>("action"), a.b("flag"), true, t);
         }},
        // ---- Navigation again: settings, trigger, map information ----
        {"Settings_GoogleMapInfo_LogEntry", R"({"value": 287454020})",
         [](Args& a, int t) { Settings_GoogleMapInfo_LogEntry(a.u("value"), true, t); }},
        {"TRIGGERHDU_LogEntry", R"({"value": -2})", [](Args& a, int t) { TRIGGERHDU_LogEntry(a.i("value"), true, t); }},
        {"MapInfo_LogEntry",
         R"({"zoomLevelMeters": -500, "autoZoomMode": 2, "dayNight": 1, "mapOrientationInstance0": 3,
             "mapTypeInstance0": 4, "mapOrientationInstance2": 5, "mapTypeInstance2": 6, "landmarks2D": 7,
             "drawRoutes": true, "highwayMap": false, "parkingMapViewMode": false, "mapInMapActive": true,
             "trafficEventArrows": false, "landmarks3D": true, "memoryPointNames": false, "trafficEventIcons": true})",
         [](Args& a, int t) {
             map_info_t info{};
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
             MapInfo_LogEntry(&info, true, t);
         }},
        // ---- Connectivity: MOST navigation guide, PSD ----
        {"MostNavGuide_FramedropsHDU_LogEntry", R"({"reason": 1, "drops": 16909060})",
         [](Args& a, int t) { MostNavGuide_FramedropsHDU_LogEntry(a.e<EFrameDropReason>("reason"), a.u("drops"), true, t); }},
        {"MostNavGuide_ErrorMsgHDU_LogEntry", R"({"message": "no light"})",
         [](Args& a, int t) { MostNavGuide_ErrorMsgHDU_LogEntry(a.s("message"), true, t); }},
        {"MostNavGuide_ComBreakdownHDU_LogEntry", "{}",
         [](Args&, int t) { MostNavGuide_ComBreakdownHDU_LogEntry(true, t); }},
        {"MostNavGuide_SyncRequestHDU_LogEntry", R"({"result": 2})",
         [](Args& a, int t) { MostNavGuide_SyncRequestHDU_LogEntry(a.e<ESyncRequestResult>("result"), true, t); }},
        {"PSD_PSD01_XmitErrorHDU_LogEntry", R"({"value": 160, "bytes": "0102"})",
         [](Args& a, int t) { psd(PSD_PSD01_XmitErrorHDU_LogEntry, a, t); }},
        {"PSD_PSD02_XmitErrorHDU_LogEntry", R"({"value": 161, "bytes": "0102030405060708"})",
         [](Args& a, int t) { psd(PSD_PSD02_XmitErrorHDU_LogEntry, a, t); }},
        {"PSD_PSD01_ErrorMsgHDU_LogEntry", R"({"value": 162, "bytes": ""})",
         [](Args& a, int t) { psd(PSD_PSD01_ErrorMsgHDU_LogEntry, a, t); }},
        {"PSD_PSD02_ErrorMsgHDU_LogEntry", R"({"value": 163, "bytes": "FF00FF"})",
         [](Args& a, int t) { psd(PSD_PSD02_ErrorMsgHDU_LogEntry, a, t); }},
        {"PSD_GatewayMissingHDU_LogEntry", "{}", [](Args&, int t) { PSD_GatewayMissingHDU_LogEntry(true, t); }},
        {"PSD_MsgErrorHDU_LogEntry", R"({"sub": 77, "value": 5, "bytes": "AABBCC"})",
         [](Args& a, int t) {
             const std::vector<std::uint8_t> bytes = a.bytes("bytes");
             PSD_MsgErrorHDU_LogEntry(a.e<PSDSelector>("sub"), a.u("value"), bytes.data(),
                                      static_cast<int>(bytes.size()), true, t);
         }},
        // ---- System ----
        {"WatchDogHDU_LogEntry", R"({"second": "heartbeat missed", "first": "navcore"})",
         [](Args& a, int t) { WatchDogHDU_LogEntry(a.s("first"), a.s("second"), true, t); }},
        {"MemoryHDU_LogEntry", R"({"kibibytes": 49152})",
         [](Args& a, int t) { MemoryHDU_LogEntry(static_cast<unsigned>(a.u("kibibytes") * 1024 + 1023), true, t); }},
        {"MemoryHDU_VideoRAM_LogEntry", R"({"kibibytes": 8192})",
         [](Args& a, int t) { MemoryHDU_VideoRAM_LogEntry(static_cast<unsigned>(a.u("kibibytes") * 1024), true, t); }},
        {"ExceptionHDU_LogEntry",
         R"({"text": "SIGSEGV in navcore", "first": 11, "second": -1, "character": "Z", "address": "0xCAFEBABE"})",
         [](Args& a, int t) {
             const auto bits = static_cast<std::uintptr_t>(std::strtoull(a.s("address"), nullptr, 16));
             ExceptionHDU_LogEntry(a.s("text"), a.i("first"), a.i("second"), a.s("character")[0],
                                   reinterpret_cast<const void*>(bits), true, t);
         }},
        // ---- WLAN ----
        {"WLAN_SetProfile_LogEntry",
         R"({"name": "home network", "value1": 17, "opMode": 2, "value2": 34, "auth": 3, "enc": 3, "value3": 51,
             "text1": "k1", "text2": "", "text3": "a key text of seventy characters, longer than the sixty-four kept",
             "text4": "k4444"})",
         [](Args& a, int t) {
             std::string texts = profileTexts(a);
             WLAN_SetProfile_LogEntry(a.w("name"), a.u("value1"), a.e<eWlanOpMode>("opMode"), a.u("value2"),
                                      a.e<eWlanAuth>("auth"), a.e<eWlanEnc>("enc"), a.u("value3"), &texts[0],
                                      true, t);
         }},
        {"WLAN_client_LogEntry", R"({"value1": 17, "value2": 238, "address": "001A2B3C4DFE"})",
         [](Args& a, int t) {
             std::vector<std::uint8_t> address = a.bytes("address");
             WLAN_client_LogEntry(a.u("value1"), a.u("value2"), address.data(), true, t);
         }},
        {"WLAN_joinUPNPServer_LogEntry", R"({"server": "living room media server"})",
         [](Args& a, int t) { WLAN_joinUPNPServer_LogEntry(a.w("server"), true, t); }},
        {"WLAN_leaveUPNPServer_LogEntry", R"({"server": "living room media server"})",
         [](Args& a, int t) { WLAN_leaveUPNPServer_LogEntry(a.w("server"), true, t); }},
        {"WLAN_startBSS_LogEntry", R"({"address": "02AABBCCDDEE"})",
         [](Args& a, int t) {
             std::vector<std::uint8_t> address = a.bytes("address");
             WLAN_startBSS_LogEntry(address.data(), true, t);
         }},
        {"WLAN_stopBSS_LogEntry", R"({"address": "02AABBCCDDEF"})",
         [](Args& a, int t) {
             std::vector<std::uint8_t> address = a.bytes("address");
             WLAN_stopBSS_LogEntry(address.data(), true, t);
         }},
        {"WLAN_requestConnect_LogEntry", "{}", [](Args&, int t) { WLAN_requestConnect_LogEntry(true, t); }},
        {"WLAN_errorOccured_LogEntry", R"({"error": 258})",
         [](Args& a, int t) { WLAN_errorOccured_LogEntry(a.u("error"), true, t); }},
        // ---- System, on/off, online ----
        {"DiagnosisHDU_LogEntry", R"({"text": "diagnosis session 3 opened"})",
         [](Args& a, int t) { DiagnosisHDU_LogEntry(a.w("text"), true, t); }},
        {"SYSHDU_LogEntry", R"({"first": "shutdown", "second": "ignition off"})",
         [](Args& a, int t) { SYSHDU_LogEntry(a.w("first"), a.w("second"), true, t); }},
        {"ONOFFHDU_LogEntry",
         R"({"text": "on/off reason text longer than eighty characters is cut by the entry to the first 79 characters"})",
         [](Args& a, int t) { ONOFFHDU_LogEntry(a.s("text"), true, t); }},
        {"ONOFFHDU_LogEntry", R"({"event": 4660})",
         [](Args& a, int t) { ONOFFHDU_LogEntry(a.e<OocXobEvent>("event"), true, t); }},
        {"OnlineHDU_LogEntry", R"({"first": "connected", "second": "apn internet"})",
         [](Args& a, int t) { OnlineHDU_LogEntry(a.s("first"), a.s("second"), true, t); }},
        {"GoogleNav_ProcessStatus_LogEntry", R"({"first": 1, "second": -1, "text": "running"})",
         [](Args& a, int t) { GoogleNav_ProcessStatus_LogEntry(a.i("first"), a.i("second"), a.s("text"), true, t); }},
        {"GoogleNav_StartRGHDU_LogEntry", "{}", [](Args&, int t) { GoogleNav_StartRGHDU_LogEntry(true, t); }},
        {"GoogleNav_ConnectivityInfo_LogEntry", R"({"value": 2712847316})",
         [](Args& a, int t) { GoogleNav_ConnectivityInfo_LogEntry(a.u("value"), true, t); }},
        {"GoogleNav_RouteGuidanceInfo_LogEntry", R"({"value": 1})",
         [](Args& a, int t) { GoogleNav_RouteGuidanceInfo_LogEntry(a.u("value"), true, t); }},
        {"Sensoric_SatRecHDU_LogEntry", R"({"value": -1})",
         [](Args& a, int t) { Sensoric_SatRecHDU_LogEntry(a.i("value"), true, t); }},
        {"Sensoric_OdoQualityHDU_LogEntry", R"({"value": 256})",
         [](Args& a, int t) { Sensoric_OdoQualityHDU_LogEntry(a.i("value"), true, t); }},
        {"Sensoric_GyroQualityHDU_LogEntry", R"({"value": 7})",
         [](Args& a, int t) { Sensoric_GyroQualityHDU_LogEntry(a.i("value"), true, t); }},
        {"Sensoric_SensorCalibration_Status", R"({"text": "calibrated"})",
         [](Args& a, int t) { Sensoric_SensorCalibration_Status(a.s("text"), true, t); }},
        {"Sensoric_SensorData_LogEntry", R"({"data": "gyro 0.12 0.03", "count": -5})",
         [](Args& a, int t) {
             Sensoric_SensorData_LogEntry(reinterpret_cast<const unsigned char*>(a.s("data")), a.i("count"), true, t);
         }},
        {"Traffic_TmcInfoHDU_LogEntry", R"({"text": "12,3"})",
         [](Args& a, int t) { Traffic_TmcInfoHDU_LogEntry(a.s("text"), true, t); }},
        {"Traffic_GoogleTmcInfoHDU_LogEntry", R"({"text": "g"})",
         [](Args& a, int t) { Traffic_GoogleTmcInfoHDU_LogEntry(a.s("text"), true, t); }},
        {"Nav_SWDL_Check", R"({"component": 1, "path": "/mnt/update/nav|map.pkg"})",
         [](Args& a, int t) { Nav_SWDL_Check(a.i("component"), a.s("path"), true, t); }},
        {"Nav_SWDL_Check_Result", R"({"component": -2, "path": "", "result": -128})",
         [](Args& a, int t) { Nav_SWDL_Check_Result(a.i("component"), a.s("path"), a.i("result"), true, t); }},
        {"Nav_SWDL_Prepare", R"({"component": 127})", [](Args& a, int t) { Nav_SWDL_Prepare(a.i("component"), true, t); }},
        {"Nav_SWDL_Prepare_Result", R"({"component": 0, "result": 1})",
         [](Args& a, int t) { Nav_SWDL_Prepare_Result(a.i("component"), a.i("result"), true, t); }},
        {"Nav_SWDL_Finalize", R"({"component": -127})",
         [](Args& a, int t) { Nav_SWDL_Finalize(a.i("component"), true, t); }},
        {"Nav_SWDL_Finalize_Result", R"({"component": 1, "result": 0})",
         [](Args& a, int t) { Nav_SWDL_Finalize_Result(a.i("component"), a.i("result"), true, t); }},
        {"Nav_Error_GoogleReportError_LogEntry", R"({"text": "e"})",
         [](Args& a, int t) { Nav_Error_GoogleReportError_LogEntry(a.s("text"), true, t); }},
        {"Nav_Error_ReportError_LogEntry",
         R"({"text": "an error text of seventy characters, cut to the sixty-three it can hold"})",
         [](Args& a, int t) { Nav_Error_ReportError_LogEntry(a.s("text"), true, t); }},
    };
}

}  // namespace

const std::vector<RoundTripCase>& roundTripCases() {
    static const std::vector<RoundTripCase> s_cases = makeCases();
    return s_cases;
}

}  // namespace xobtest
