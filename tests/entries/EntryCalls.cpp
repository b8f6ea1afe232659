// The calls of the golden records: each entry function by name, given the line's arguments in the order of its
// parameters, then (true, callerTime). A parameter's type says how its argument reads: numbers, enumerations, bools and
// characters as they are; texts as texts (null: absent); byte blocks as hex; lists as items, or a number N for N
// distinct items. The count that follows a block or list is its size unless the line gives "count".
#include "Golden.h"

#include <tuple>
#include <type_traits>

namespace xobtest {

using namespace GXob;
using Json = nlohmann::ordered_json;

struct Reader {
    const Json& args;
    Json::const_iterator next = args.begin();
    bool wrong = false;      // an argument missing
    long long size = -1;     // of the block or list just read, until a count takes it

    const Json& take() {
        static const Json s_missing;
        wrong = wrong || next == args.end();
        return next == args.end() ? s_missing : (next++).value();
    }
    template <typename T> T number() {
        if (size >= 0) {
            const long long counted = std::exchange(size, -1);
            return static_cast<T>(next != args.end() && next.key() == "count" ? take().get<long long>() : counted);
        }
        const Json& value = take();
        if (value.is_string()) return static_cast<T>(value.get<std::string>()[0]);  // a character
        return value.is_boolean() ? static_cast<T>(value.get<bool>())
               : value.is_number_unsigned() ? static_cast<T>(value.get<unsigned long long>())
                                            : static_cast<T>(value.get<long long>());
    }
};

// The next argument, as whatever number type it initializes.
struct Next {
    Reader& r;
    template <typename T> operator T() const { return r.number<T>(); }
};

// A list item or struct from the arguments in order, and the i-th of N distinct items.
template <typename Item> Item item(Reader r);
template <> SMediaListEntry item(Reader r) { return {Next{r}, Next{r}, Next{r}, Next{r}}; }
template <> SXOBListEntry item(Reader r) { return {Next{r}, Next{r}, Next{r}}; }
template <> SModuleInfo item(Reader r) { return {Next{r}, Next{r}, Next{r}, Next{r}}; }
template <typename Item> Item generated(unsigned short i);
template <> SMediaListEntry generated(unsigned short i) {
    return {static_cast<unsigned short>(0x1000 + i), 0xA0B0, 0x300u + i, -1ll - i};
}
template <> SXOBListEntry generated(unsigned short i) { return {0x1122334455660000ll + i, i, 0xC0DE}; }
template <> SModuleInfo generated(unsigned short i) {
    return {0x0102030405060700ull + i, 0x100u + i, 0x280u + i, static_cast<unsigned char>(0x40 + i)};
}

template <typename T, typename = void> struct Arg {  // numbers
    T value;
    explicit Arg(Reader& r) : value(r.number<T>()) {}
    T get() const { return value; }
};
template <typename C> struct Arg<C*, std::enable_if_t<std::is_same<std::remove_const_t<C>, char>::value>> {
    Json text;  // or null
    explicit Arg(Reader& r) : text(r.take()) {}
    char* get() { return text.is_null() ? nullptr : &text.get_ref<std::string&>()[0]; }
};
template <> struct Arg<const void*> {
    const void* value;
    explicit Arg(Reader& r)
        : value(reinterpret_cast<const void*>(std::strtoull(r.take().get<std::string>().c_str(), nullptr, 16))) {}
    const void* get() const { return value; }
};
template <typename C>
struct Arg<C*, std::enable_if_t<std::is_same<std::remove_const_t<C>, unsigned char>::value>> {  // exactly as long as the block (ASan sees a read beyond it)
    std::unique_ptr<unsigned char[]> bytes;
    explicit Arg(Reader& r) {
        const Json& value = r.take();
        const std::vector<std::uint8_t> block = hexBytes(value.is_null() ? "" : value.get<std::string>());
        bytes.reset(value.is_null() ? nullptr : new unsigned char[block.size()]);
        std::copy(block.begin(), block.end(), bytes.get());
        r.size = static_cast<long long>(block.size());
    }
    unsigned char* get() const { return bytes.get(); }
};
template <typename Item> struct Arg<const Item*, std::enable_if_t<std::is_class<Item>::value>> {
    std::unique_ptr<std::vector<Item>> items;
    explicit Arg(Reader& r) {
        const Json& value = r.take();
        const std::size_t size = value.is_number() ? value.get<std::size_t>() : value.size();
        r.size = static_cast<long long>(size);
        if (value.is_null()) return;
        items.reset(new std::vector<Item>);
        items->reserve(size);  // exactly: ASan sees over-reads
        for (unsigned short i = 0; i < size; ++i) {
            items->push_back(value.is_number() ? generated<Item>(i) : item<Item>(Reader{value[i]}));
        }
    }
    const Item* get() const { return items ? items->data() : nullptr; }
};
template <typename T>
struct Arg<T, std::enable_if_t<std::is_class<T>::value>> {  // a struct by value, from the arguments that follow
    T value;
    explicit Arg(Reader& r) : value(item<T>(r)) { r.next = r.args.end(); }
    T get() const { return value; }
};

template <typename... P, std::size_t... I>
bool callWith(void (*entry)(P...) noexcept, const Json& args, int callerTime, std::index_sequence<I...>) {
    using Params = std::tuple<P...>;
    Reader r{args};
    std::tuple<Arg<std::tuple_element_t<I, Params>>...> values{Arg<std::tuple_element_t<I, Params>>(r)...};
    entry(std::get<I>(values).get()..., true, callerTime);
    return !r.wrong && r.next == args.end();
}
template <typename... P> bool callWith(void (*entry)(P...) noexcept, const Json& args, int callerTime) {
    return callWith(entry, args, callerTime, std::make_index_sequence<sizeof...(P) - 2>());  // less the trailing pair
}
template <auto entry> bool call(const Json& args, int callerTime) { return callWith(entry, args, callerTime); }

// The memory entries' argument in bytes, where a line gives the kibibytes their record keeps.
Json inBytes(const Json& a) { return a.contains("kibibytes") ? Json{{"bytes", a["kibibytes"].get<unsigned long long>() * 1024}} : a; }
// The sensor data as a text; the profile's four texts one after the other in one buffer.
void sensorData(const char* data, int count, bool, int callerTime) noexcept {
    Sensoric_SensorData_LogEntry(reinterpret_cast<const unsigned char*>(data), count, true, callerTime);
}
void setProfile(char* name, unsigned char value1, eWlanOpMode opMode, unsigned char value2, eWlanAuth auth, eWlanEnc enc,
                unsigned char value3, const char* text1, const char* text2, const char* text3, const char* text4, bool,
                int callerTime) noexcept {
    std::string texts;
    for (const char* text : {text1, text2, text3, text4}) texts += text != nullptr ? text + std::string(1, '\0') : "";
    WLAN_SetProfile_LogEntry(name, value1, opMode, value2, auth, enc, value3, text1 != nullptr ? &texts[0] : nullptr,
                             true, callerTime);
}

using Call = bool (*)(const Json& args, int callerTime);
#define E(entry) {#entry, &call<&GXob::entry>}

const std::map<std::string, Call> s_calls = {
    E(PanelHDU_LogEntry), E(MiscHDU_LogEntry), E(Nav_StateOfOperationHDU_LogEntry), E(Nav_StartRGHDU_LogEntry),
    E(Nav_StopRGHDU_LogEntry), E(Nav_ProcessStatus_LogEntry), E(Settings_GoogleMapInfo_LogEntry), E(TRIGGERHDU_LogEntry),
    E(WatchDogHDU_LogEntry), E(ExceptionHDU_LogEntry), E(DiagnosisHDU_LogEntry), E(SYSHDU_LogEntry), E(OnlineHDU_LogEntry),
    E(GoogleNav_ProcessStatus_LogEntry), E(GoogleNav_StartRGHDU_LogEntry), E(GoogleNav_ConnectivityInfo_LogEntry),
    E(GoogleNav_RouteGuidanceInfo_LogEntry), E(Sensoric_SatRecHDU_LogEntry), E(Sensoric_OdoQualityHDU_LogEntry),
    E(Sensoric_GyroQualityHDU_LogEntry), E(Sensoric_SensorCalibration_Status), E(Traffic_TmcInfoHDU_LogEntry),
    E(Traffic_GoogleTmcInfoHDU_LogEntry), E(Nav_SWDL_Check), E(Nav_SWDL_Check_Result), E(Nav_SWDL_Prepare),
    E(Nav_SWDL_Prepare_Result), E(Nav_SWDL_Finalize), E(Nav_SWDL_Finalize_Result), E(Nav_Error_GoogleReportError_LogEntry),
    E(Nav_Error_ReportError_LogEntry), E(Media_MediaListDump), E(Media_MediaEventOpticalDrive),
    E(Media_MediaEventExternalDevice), E(Media_RecorderEvent), E(Media_AsyncException), E(Media_PlayerLogEntry),
    E(Media_PlayerDSILogEntry), E(Media_PlaybackErrorLogEntry), E(Media_PlayerDSIRequest), E(HDU_Media_MediaEventUSBDevice),
    E(HDU_Media_OpticalDriveTemperatureState), E(HDU_Media_OpticalDriveTemperatureValue), E(HDU_Media_OpticalDriveSlotState),
    E(HDU_Media_MediaEnginePlaybackStateLogEntry), E(HDU_Media_DSIPlaybackStateLogEntry),
    E(HDU_Media_BrowserChangeFolderLogEntry), E(HDU_Media_RunModeRequestServiceManagement),
    E(HDU_Media_RunModeUpdateServiceManagement), E(HDU_Media_FlushRequestServiceManagement),
    E(HDU_Media_FlushResponseServiceManagement), E(HDU_Media_ModuleEventWatchdog), E(HDU_Media_ModulesDump),
    E(HDU_Media_MediaEngineAdapterError), E(HDU_Media_SystemModeChanged), E(HDU_Media_MediaLauncherError),
    E(HDU_Media_CustomerUpdateAction), E(TelFix_Boot_LogEntry), E(TelFix_CallDropped_LogEntry), E(BTFix_Boot_LogEntry),
    E(BTFix_LinkLossBTHS_LogEntry), E(BTFix_SAPConnectionToBTHS1_LogEntry), E(BTFix_SAPConnectionToBTHS2_LogEntry),
    E(BTFix_Generic_Logging), E(BTFix_ParrotVersion_LogEntry), E(BTFix_MarvellVersion_LogEntry),
    E(BTLog_ConnectionDrop_LogEntry), E(BTLog_Exception_LogEntry), E(GEPB_LogEntry), E(Tel_CallDropDynamicData_LogEntry),
    E(Tel_StaticData_LogEntry), E(Tel_Exception_LogEntry), E(WLAN_client_LogEntry), E(WLAN_joinUPNPServer_LogEntry),
    E(WLAN_leaveUPNPServer_LogEntry), E(WLAN_startBSS_LogEntry), E(WLAN_stopBSS_LogEntry), E(WLAN_requestConnect_LogEntry),
    E(WLAN_errorOccured_LogEntry), E(MostNavGuide_FramedropsHDU_LogEntry), E(MostNavGuide_ErrorMsgHDU_LogEntry),
    E(MostNavGuide_ComBreakdownHDU_LogEntry), E(MostNavGuide_SyncRequestHDU_LogEntry), E(PSD_PSD01_XmitErrorHDU_LogEntry),
    E(PSD_PSD02_XmitErrorHDU_LogEntry), E(PSD_PSD01_ErrorMsgHDU_LogEntry), E(PSD_PSD02_ErrorMsgHDU_LogEntry),
    E(PSD_GatewayMissingHDU_LogEntry), E(PSD_MsgErrorHDU_LogEntry),
    {"MemoryHDU_LogEntry", [](const Json& a, int t) { return call<&MemoryHDU_LogEntry>(inBytes(a), t); }},
    {"MemoryHDU_VideoRAM_LogEntry", [](const Json& a, int t) { return call<&MemoryHDU_VideoRAM_LogEntry>(inBytes(a), t); }},
    {"Sensoric_SensorData_LogEntry", &call<&sensorData>}, {"WLAN_SetProfile_LogEntry", &call<&setProfile>},
    {"MapInfo_LogEntry", [](const Json& a, int t) {  // the struct's members in order, or "info": null
         Reader r{a};
         const map_info_t info = a.contains("info") ? map_info_t{} : map_info_t{Next{r}, Next{r}, Next{r}, Next{r},
             Next{r}, Next{r}, Next{r}, Next{r}, Next{r}, Next{r}, Next{r}, Next{r}, Next{r}, Next{r}, Next{r}, Next{r}};
         MapInfo_LogEntry(a.contains("info") ? nullptr : &info, true, t);
         return r.next == a.end() || a.contains("info");
     }},
    {"ONOFFHDU_LogEntry", &call<static_cast<void (*)(const char*, bool, int) noexcept>(&ONOFFHDU_LogEntry)>},
    {"ONOFFHDU_LogEntry(OocXobEvent)", &call<static_cast<void (*)(OocXobEvent, bool, int) noexcept>(&ONOFFHDU_LogEntry)>},
};

bool makeCall(const std::string& name, const nlohmann::ordered_json& args, int callerTime) {
    const auto entry = s_calls.find(name);
    return entry != s_calls.end() && entry->second(args, callerTime);
}

}  // namespace xobtest
