#include "Cases.h"

#include <xob/GXob.h>

#include "channel/RecordHeader.h"
#include "entries/EntryKinds.h"

#if __has_include(<xob/XOBLogger.h>)
#include <xob/XOBLogger.h>
#define XOB_BENCH_HAVE_OBJECT_LAYER 1
#endif

#include <cstdio>
#include <cstring>
#include <string>

namespace xobbench {
namespace {

// ---- Hand-built records -------------------------------------------------------------------------

unsigned char* putText(unsigned char* out, const char* text, std::size_t cap) noexcept {
    const std::size_t length = strnlen(text, cap - 1);
    std::memcpy(out, text, length);
    out[length] = 0;
    return out + length + 1;
}

unsigned char* putLe32(unsigned char* out, std::uint32_t value) noexcept {
    out[0] = static_cast<unsigned char>(value);
    out[1] = static_cast<unsigned char>(value >> 8);
    out[2] = static_cast<unsigned char>(value >> 16);
    out[3] = static_cast<unsigned char>(value >> 24);
    return out + 4;
}

unsigned char* putBe64(unsigned char* out, std::uint64_t value) noexcept {
    const std::uint64_t swapped = __builtin_bswap64(value);
    std::memcpy(out, &swapped, 8);
    return out + 8;
}

unsigned char* putBe32(unsigned char* out, std::uint32_t value) noexcept {
    const std::uint32_t swapped = __builtin_bswap32(value);
    std::memcpy(out, &swapped, 4);
    return out + 4;
}

namespace header = xob::header;
namespace kind = xob::kind;

// The payload of a log entry of this kind, its sub-identifier written.
unsigned char* startLogEntry(unsigned char* record, const xob::layout::Kind& entry) noexcept {
    unsigned char* out = record + header::kPayloadAt;
    *out++ = static_cast<unsigned char>(entry.key.value);
    return out;
}

// Fills the 8-byte header of a log entry that ends at `end`; returns the record's size.
std::uint32_t finishLogEntry(unsigned char* record, const unsigned char* end, const xob::layout::Kind& entry) noexcept {
    const std::uint32_t size = static_cast<std::uint32_t>(end - record);
    header::setSize(record, size);
    header::setCommand(record, EDevXob_LogEntry);
    header::clearSpare(record);
    header::setWord(record, entry.functionId);
    return size;
}

// ---- Navigation start: the typical small entry --------------------------------------------------

const char kRouteOptions[] = "type=0dyn=1motorw=2f";  // 20 characters
const char kTmcStation[] = "D1 TMC Rheinland-Pf";    // 19 characters
constexpr signed char kMode = 2;
constexpr GXob::NavStartReason kReason = GXob::NSR_SectionBlocked;

// The texts of the start entry that the object-layer case sends (taken from its record).
struct NavStartFields {
    signed char mode = kMode;
    std::string routeOptions = kRouteOptions;
    std::string tmcStation = kTmcStation;
    std::uint32_t reason = kReason;
};

std::uint32_t buildNavStartFrom(unsigned char* record, signed char mode, const char* routeOptions,
                                const char* tmcStation, std::uint32_t reason) noexcept {
    const xob::layout::Layout& fields = *kind::Nav_StartRGHDU_LogEntry.payload;
    unsigned char* out = startLogEntry(record, kind::Nav_StartRGHDU_LogEntry);
    *out++ = static_cast<unsigned char>(mode);
    out = putText(out, routeOptions, fields.named("routeOptions").size);
    out = putText(out, tmcStation, fields.named("tmcStation").size);
    out = putLe32(out, reason);
    return finishLogEntry(record, out, kind::Nav_StartRGHDU_LogEntry);
}

// ---- Media entry with big-endian fields ---------------------------------------------------------

constexpr unsigned long long kRunMode64 = 0x0123456789ABCDEFull;
constexpr unsigned int kRunMode32 = 0xDEADBEEFu;

void callMediaRunMode() {
    GXob::HDU_Media_RunModeUpdateServiceManagement(kRunMode64, kRunMode32, false, 0);
}

std::uint32_t buildMediaRunMode(unsigned char* record) {
    unsigned char* out = startLogEntry(record, kind::HDU_Media_RunModeUpdateServiceManagement);
    out = putBe64(out, kRunMode64);
    out = putBe32(out, kRunMode32);
    return finishLogEntry(record, out, kind::HDU_Media_RunModeUpdateServiceManagement);
}

// ---- Full module dump ----------------------------------------------------------------------------

constexpr unsigned kModules = kind::HDU_Media_ModulesDump.payload->named("modules").size;

struct Modules {
    GXob::SModuleInfo list[kModules];
    Modules() {
        for (unsigned i = 0; i < kModules; ++i) {
            list[i].ui64Field1 = 0x1000000000000000ull * (i % 7) + 0x10203ull * i;
            list[i].ui32Field2 = 100 + i;
            list[i].ui32Field3 = 3 * i;
            list[i].ui8Field4 = static_cast<unsigned char>(i & 3);
        }
    }
};
const Modules g_modules;

void callModulesDump() { GXob::HDU_Media_ModulesDump(g_modules.list, kModules, false, 0); }

std::uint32_t buildModulesDump(unsigned char* record) {
    unsigned char* out = startLogEntry(record, kind::HDU_Media_ModulesDump);
    *out++ = kModules;
    for (const GXob::SModuleInfo& module : g_modules.list) {
        out = putBe64(out, module.ui64Field1);
        *out++ = static_cast<unsigned char>(module.ui32Field2);
        *out++ = static_cast<unsigned char>(module.ui32Field3);
        *out++ = module.ui8Field4;
    }
    return finishLogEntry(record, out, kind::HDU_Media_ModulesDump);
}

// ---- Object layer: a new route calculation ------------------------------------------------------

NavStartFields g_routeCalculationFields;

#ifdef XOB_BENCH_HAVE_OBJECT_LAYER
// Route options as the navigation process hands them over: realistic values, two short lists.
CIPtr<dsi::navigation::RouteOptions> makeRouteOptions() {
    CIPtr<dsi::navigation::RouteOptions> options(new dsi::navigation::RouteOptions());
    options->type = 1;
    options->dyn = 2;
    options->motorw = 1;
    options->ferry = 0;
    options->tollr = 1;
    options->vign = 1;
    options->hybrid = 0;
    options->dynPatt = 1;
    options->weight = 3500;
    options->style = 2;
    options->vignetteCountries = CIPtr<CIArray<int>>(new CIArray<int>{276, 40});
    options->cityMauts = CIPtr<CIArray<int>>(new CIArray<int>{});
    return options;
}

const CIPtr<dsi::navigation::RouteOptions> g_routeOptions = makeRouteOptions();
const SDString g_tmcStationText(kTmcStation);

void callRouteCalculation() {
    XOBLoggerFactory::GetXobLoggerRG()->NewRouteCalculation(XOBLog::VGM_TRAFFIC, g_routeOptions,
                                                            XOBLog::NSR_SectionBlocked, g_tmcStationText);
}

// The start entry that the logger sends, with the texts it composed (taken from its record by
// checkCases), built by hand.
std::uint32_t buildRouteCalculation(unsigned char* record) {
    const NavStartFields& fields = g_routeCalculationFields;
    return buildNavStartFrom(record, fields.mode, fields.routeOptions.c_str(), fields.tmcStation.c_str(),
                             fields.reason);
}
#endif


bool sameRecord(const xob::recorder::Record& sent, const unsigned char* built, std::uint32_t size) {
    if (sent.size() != size) {
        return false;
    }
    for (std::uint32_t i = 0; i < size; ++i) {
        if ((i < 8 || i > 11) && sent[i] != built[i]) {
            return false;
        }
    }
    return true;
}

// The fields of a start entry as it arrived.
bool parseNavStart(const xob::recorder::Record& record, NavStartFields& fields) {
    const xob::layout::Kind& entry = kind::Nav_StartRGHDU_LogEntry;
    std::size_t at = header::kPayloadAt;
    if (record.size() < at + 2 + 2 + 4 || header::word(record.data()) != entry.functionId ||
        record[at] != entry.key.value) {
        return false;
    }
    fields.mode = static_cast<signed char>(record[at + 1]);
    at += 2;
    const auto text = [&](std::string& out) {
        out.clear();
        while (at < record.size() && record[at] != 0) {
            out.push_back(static_cast<char>(record[at++]));
        }
        ++at;
    };
    text(fields.routeOptions);
    text(fields.tmcStation);
    if (at + 4 != record.size()) {
        return false;
    }
    fields.reason = header::loadLittleEndian(record.data() + at, 4);
    return true;
}

}  // namespace

std::uint32_t buildNavStart(unsigned char* record) {
    return buildNavStartFrom(record, kMode, kRouteOptions, kTmcStation, kReason);
}

void callNavStart() { GXob::Nav_StartRGHDU_LogEntry(kMode, kRouteOptions, kTmcStation, kReason, false, 0); }

const std::vector<EntryCase>& entryCases() {
    static const std::vector<EntryCase> cases = [] {
        std::vector<EntryCase> list = {
            {"nav_start", "Nav_StartRGHDU, 2 texts", callNavStart, buildNavStart},
            {"media_be", "media, big-endian 64+32", callMediaRunMode, buildMediaRunMode},
            {"modules_40", "media, 40-module dump", callModulesDump, buildModulesDump},
        };
#ifdef XOB_BENCH_HAVE_OBJECT_LAYER
        list.push_back({"route_calc", "XOBLoggerRG::NewRouteCalc.", callRouteCalculation, buildRouteCalculation});
#endif
        return list;
    }();
    return cases;
}

bool checkCases(StandIn& device) {
    bool good = true;
    for (const EntryCase& entry : entryCases()) {
        device.captureNext();
        entry.callLibrary();
        const xob::recorder::Record sent = device.captured();
        if (std::strcmp(entry.key, "route_calc") == 0 && !parseNavStart(sent, g_routeCalculationFields)) {
            std::fprintf(stderr, "%s: the record that arrived is not a start entry\n", entry.key);
            good = false;
            continue;
        }
        unsigned char built[2056];
        const std::uint32_t size = entry.buildByHand(built);
        if (!sameRecord(sent, built, size)) {
            std::fprintf(stderr, "%s: the hand-built record differs from the library's (%zu vs %u bytes)\n",
                         entry.key, sent.size(), size);
            good = false;
        }
        waitForLibraryIdle();
    }
    return good;
}

}  // namespace xobbench
