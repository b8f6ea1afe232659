// One head-unit life in a minute, told through both layers of libxob: start-up, a software
// download of the navigation, a route calculation with its route options and a stop, map settings
// changes, a TMC count change, media, telephone and WLAN events, a watchdog hit and shut-down.
//
// The navigation process speaks through the object layer (XOBLoggerFactory and its loggers), the
// media, telephone and WLAN processes through the plain layer (GXob). Every call returns at once;
// the library's writer thread delivers the records in the background, and what is still queued when
// main returns is delivered on the way out. `scripts/demo.sh` runs this against the recorder
// stand-in and shows the entries decoded.
#include <xob/GXob.h>
#include <xob/XOBLogger.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

namespace {

void step(const char* what) {
    std::printf("demo: %s\n", what);
    std::this_thread::sleep_for(std::chrono::milliseconds(120));  // a little time between the scenes
}

// The route options of a calculation as the navigation interface delivers them.
CIPtr<dsi::navigation::RouteOptions> routeOptions() {
    CIPtr<dsi::navigation::RouteOptions> options(new dsi::navigation::RouteOptions);
    options->type = 1;  // fast route
    options->dyn = 1;   // dynamic route guidance
    options->motorw = 1;
    options->ferry = 2;
    options->tollr = 1;
    options->vignetteCountries = CIPtr<CIArray<int>>(new CIArray<int>{40, 756});
    return options;
}

void startUp() {
    char phase[] = "startup";
    char reason[] = "ignition on, cold boot";
    GXob::SYSHDU_LogEntry(phase, reason, false, 0);
    GXob::ONOFFHDU_LogEntry("terminal 15 on", false, 0);
    XOBLoggerFactory::GetXobLoggerNav()->Init_NavLogfiles();  // command 4 for 0x418, 0x426, 0x420
    const int flag = GXob::writeSetXobActivFlag(true);
    std::printf("demo: recorder active flag %s\n", flag == 0 ? "set" : "not set (device absent?)");
    step("start-up: system event, on/off, navigation log files, recorder switched on");
}

void softwareDownload() {
    XOBLoggerNav* nav = XOBLoggerFactory::GetXobLoggerNav();
    nav->Nav_SWDL_Check("Navigation", "/mnt/update/nav", "map_eu_2024_q3.pkg");
    nav->Nav_SWDL_Check_Result("Navigation", "/mnt/update/nav", "map_eu_2024_q3.pkg", XOBLog::SwdlResult(0));
    nav->Nav_SWDL_Prepare("Navigation");
    nav->Nav_SWDL_Prepare_Result("Navigation", true);
    nav->Nav_SWDL_Finalize("Navigation");
    nav->Nav_SWDL_Finalize_Result("Navigation", true);
    step("software download of the navigation map: check, prepare, finalize");
}

void routeGuidance() {
    XOBLoggerRG* rg = XOBLoggerFactory::GetXobLoggerRG();
    rg->NewRouteCalculation(XOBLog::VGM_COMPLETE, routeOptions(), XOBLog::NSR_ManualStart, "Antenne Bayern");
    step("route calculation started by the driver, with route options and TMC station");
    rg->NewRouteCalculation(XOBLog::VGM_COMPLETE, routeOptions(), XOBLog::NSR_TmcRecalculationStart,
                            "Antenne Bayern");
    step("route recalculated for a traffic message");
    rg->RouteGuidanceStopped(XOBLog::NavStopReason(1));
    step("route guidance stopped at the destination");
}

void mapSettings() {
    XOBLoggerMap* map = XOBLoggerFactory::GetXobLoggerMap();
    map->SetZoomLevelMeters(500);
    map->SetDayNight(XOBLog::DayNightSetting(1));
    map->SetMapOrientation(XOBLog::MI_Instance0, XOBLog::MapOrientation(2));
    map->SetMapType(XOBLog::MI_Instance0, XOBLog::MapType(1));
    map->SetDrawRoutes(true);
    map->SetTrafficEventIcons(true);
    map->SendUpdate();
    map->SetZoomLevelMeters(2000);
    map->SetMapInMapActive(true);
    map->SendUpdate();
    map->SendUpdate();  // nothing changed since: no entry
    step("map settings changed twice, each change sent with SendUpdate");
}

void traffic() {
    // The navigation logger records the counts five minutes after the first change, which is
    // longer than this demo lives: it only arms its timer here.
    XOBLoggerNav* nav = XOBLoggerFactory::GetXobLoggerNav();
    nav->Traffic_TmcInfoHDU_LogEntry_SetMessageCount(12);
    nav->Traffic_TmcInfoHDU_LogEntry_SetOnRouteCount(3);
    // What the logger records when its timer fires, made here at once through the plain layer.
    GXob::Traffic_TmcInfoHDU_LogEntry("12,3", false, 0);
    step("TMC message count changed: 12 messages, 3 on the route");
}

void media() {
    GXob::HDU_Media_MediaEventUSBDevice(GXob::MEV_Attached, 0x0781, 0x5581, 1, 0, 2, 0, false, 0);
    GXob::Media_MediaEventExternalDevice(0x0781, "USB stick \"SanDisk Ultra\"", "usb0", false, 0);
    const GXob::SXOBListEntry folder[] = {{1001, 1, 12}, {1002, 1, 9}, {1003, 2, 0}};
    GXob::HDU_Media_BrowserChangeFolderLogEntry(4711, 1, "/media/usb0/Music", folder, 3, false, 0);
    GXob::HDU_Media_MediaEnginePlaybackStateLogEntry(1, GXob::MPS_Playing, 0, false, 0);
    const GXob::SModuleInfo modules[] = {{0x0001000200030004ull, 1, 2, 0},
                                         {0x0001000200030005ull, 1, 1, 0},
                                         {0x0001000200030006ull, 3, 2, 7}};
    GXob::HDU_Media_ModulesDump(modules, 3, false, 0);
    GXob::HDU_Media_OpticalDriveTemperatureValue(-5, false, 0);
    step("media: USB stick attached, folder browsed, playing, module dump");
}

void telephone() {
    GXob::Tel_StaticData_LogEntry("IMEI 356938035643809", "fw 2.1.7", "Provider", "DE", "SIM 8949", false, 0);
    GXob::TelFix_CallDropped_LogEntry("network lost", false, 0);
    GXob::Tel_CallDropDynamicData_LogEntry("+4989123456", "LTE", "cell 0x1A2B", "tunnel", "rssi -97", false, 0);
    GXob::BTLog_ConnectionDrop_LogEntry("Phone of the driver", "link supervision timeout", 0x13, 2, false, 0);
    step("telephone: call dropped in a tunnel, Bluetooth link lost");
}

void wlan() {
    char name[] = "car hotspot";
    std::string keys = std::string("WPA2-PSK") + '\0' + "" + '\0' + "hotspot" + '\0' + "DE" + '\0';
    GXob::WLAN_SetProfile_LogEntry(name, 1, GXob::WLAN_OPM_AccessPoint, 6, GXob::WLAN_AUTH_WPA2,
                                   GXob::WLAN_ENC_AES, 0, &keys[0], false, 0);
    unsigned char client[6] = {0x02, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    GXob::WLAN_client_LogEntry(1, 0, client, false, 0);
    char server[] = "passenger tablet";
    GXob::WLAN_joinUPNPServer_LogEntry(server, false, 0);
    GXob::WLAN_errorOccured_LogEntry(258, false, 0);
    step("WLAN: hotspot profile, a client joined, UPnP server, an error");
}

void watchdogAndShutDown() {
    XOBLoggerNav* nav = XOBLoggerFactory::GetXobLoggerNav();
    nav->WatchDogHDU_LogEntry("navcore", "heartbeat missed for 2000 ms");
    nav->Nav_Error_ReportError("route server not reachable");
    const unsigned char sensor[] = "gyro 0.12 odo 41";
    XOBLoggerFactory::GetXobLoggerSensor()->Sensoric_SensorData_LogEntry(sensor, sizeof sensor - 1);
    GXob::MemoryHDU_LogEntry(48u * 1024 * 1024, false, 0);
    GXob::ONOFFHDU_LogEntry("terminal 15 off", false, 0);
    step("watchdog hit, navigation error, sensor data, memory figure, ignition off");
    // Stop and flush is written directly, past the queue: first let the writer deliver the rest.
    for (int i = 0; i < 200 && GXob::getXOBThreadActive(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const int stop = GXob::doStop_Flush();
    std::printf("demo: stop and flush %s\n", stop == 0 ? "sent" : "short");
}

}  // namespace

int main() {
    startUp();
    softwareDownload();
    routeGuidance();
    mapSettings();
    traffic();
    media();
    telephone();
    wlan();
    watchdogAndShutDown();
    return 0;
}
