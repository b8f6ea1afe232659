// Media entries (0x41B): every entry's whole record, byte for byte, as the device receives it.
// Values are chosen so that a swapped byte order, a swapped field or a lost high byte shows.
#include <xob/GXob.h>

#include "SharedDeviceTest.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

using xobtest::Bytes;
using xobtest::operator+;

namespace {

constexpr int kTime = 0x123456;

Bytes be(std::uint64_t value, int width) {
    Bytes bytes;
    for (int shift = 8 * (width - 1); shift >= 0; shift -= 8) {
        bytes.push_back(static_cast<std::uint8_t>(value >> shift));
    }
    return bytes;
}

Bytes text(std::size_t length, char fill) { return xobtest::textField(std::string(length, fill).c_str()); }

// Distinct list elements and their expected item bytes, for the longer lists.
GXob::SModuleInfo module(unsigned i) {
    return {0x0102030405060700ull + i, 0x100u + i, 0x280u + i, static_cast<unsigned char>(0x40 + i)};
}
Bytes moduleBytes(unsigned i) {
    return be(0x0102030405060700ull + i, 8) + be(i, 1) + be(0x80 + i, 1) + be(0x40 + i, 1);
}
GXob::SMediaListEntry mediaEntry(unsigned i) {
    return {static_cast<unsigned short>(0x1000 + i), 0xA0B0, 0x300u + i, -1 - static_cast<long long>(i)};
}
Bytes mediaBytes(unsigned i) {
    return be(0x1000 + i, 2) + Bytes{0xA0, 0xB0} + be(i, 1) + be(-1 - static_cast<long long>(i), 8);
}
GXob::SXOBListEntry folderEntry(unsigned i) {
    return {0x1122334455660000ll + i, static_cast<unsigned short>(i), 0xC0DE};
}
Bytes folderBytes(unsigned i) { return be(0x1122334455660000ull + i, 8) + be(i, 2) + Bytes{0xC0, 0xDE}; }

template <typename Item>
std::vector<Item> many(unsigned n, Item (*make)(unsigned)) {
    std::vector<Item> items;
    items.reserve(n);  // exactly n: a read past the end is a heap overflow for the address sanitizer
    for (unsigned i = 0; i < n; ++i) items.push_back(make(i));
    return items;
}

Bytes itemBytes(unsigned n, Bytes (*make)(unsigned)) {
    Bytes bytes;
    for (unsigned i = 0; i < n; ++i) bytes = bytes + make(i);
    return bytes;
}

const GXob::SModuleInfo kModule = {1, 258, 0x1FF, 0x7F};
const Bytes kModuleItem = {0, 0, 0, 0, 0, 0, 0, 1, 0x02, 0xFF, 0x7F};

struct Case {
    const char* name;
    std::function<void()> call;
    Bytes payload;  // the whole payload, sub-identifier included
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

std::vector<Case> cases() {
    using namespace GXob;
    const SMediaListEntry media[] = {{0x0102, 0xA0B0, 0x1FF, -2}, {0, 0, 0, 0x0102030405060708}};
    const SXOBListEntry folder[] = {{-2, 0x0102, 0x0304}, {0x0102030405060708, 0xFFFE, 0}};
    const std::string longText(200, 'a');
    const std::string shortText(40, 'b');
    return {
        {"MediaListDump", [=] { Media_MediaListDump(media, 2, true, kTime); },
         {0, 2, 0x01, 0x02, 0xA0, 0xB0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE,
          0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8}},
        // Only 20 elements exist: the entry must not read past its cap.
        {"MediaListDumpCappedAt20",
         [] { Media_MediaListDump(many(20, mediaEntry).data(), 255, true, kTime); },
         Bytes{0, 20} + itemBytes(20, mediaBytes)},
        {"MediaListDumpAbsent", [] { Media_MediaListDump(nullptr, 7, true, kTime); }, {0, 0}},
        {"OpticalDriveEvent",
         [] { Media_MediaEventOpticalDrive(MediaEventType(511), MT_DVDVideo, 0xABCD, true, kTime); },
         {1, 0xFF, 4, 0xAB, 0xCD}},
        {"ExternalDevice", [] { Media_MediaEventExternalDevice(0x1234, "usb", "stick", true, kTime); },
         Bytes{2} + xobtest::textField("usb") + xobtest::textField("stick") + Bytes{0x12, 0x34}},
        {"ExternalDeviceAbsentTexts",
         [] { Media_MediaEventExternalDevice(0x1234, nullptr, nullptr, true, kTime); },
         {2, 0, 0, 0x12, 0x34}},
        {"ExternalDeviceTextsCut",
         [=] { Media_MediaEventExternalDevice(0x1234, longText.c_str(), shortText.c_str(), true, kTime); },
         Bytes{2} + text(127, 'a') + text(31, 'b') + Bytes{0x12, 0x34}},
        {"RecorderEvent",
         [] { Media_RecorderEvent(0x0102, MediaRecorderEventType(0x1234), 0x0304, 0x1122334455667788,
                                  true, kTime); },
         Bytes{3, 1, 2, 0x34, 3, 4} + be(0x1122334455667788, 8)},
        {"AsyncException",
         [] { Media_AsyncException(DSIType(300), 0xEE, 0x0102, 0x0304, "boom", true, kTime); },
         Bytes{4} + xobtest::textField("boom") + Bytes{0x2C, 0xEE, 1, 2, 3, 4}},
        {"PlayerLogEntry", [] { Media_PlayerLogEntry(0xBEEF, 1, 2, -2, true, kTime); },
         {5, 0xBE, 0xEF, 1, 2, 0xFF, 0xFF, 0xFF, 0xFE}},
        {"PlayerDSILogEntry",
         [] { Media_PlayerDSILogEntry(1, 2, 0x0304, 0x0506, MediaType(0x107), 0x0809, 0x0A0B, MT_AuxIn,
                                      true, kTime); },
         {6, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 11}},
        {"PlaybackError",
         [] { Media_PlaybackErrorLogEntry(0x0102030405060708, 0x090A, 11, 12, 13, "err", true, kTime); },
         Bytes{7} + xobtest::textField("err") + Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}},
        {"PlaybackErrorAbsentText",
         [] { Media_PlaybackErrorLogEntry(0x0102030405060708, 0x090A, 11, 12, 13, nullptr, true, kTime); },
         {7, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}},
        {"PlayerDSIRequest", [] { Media_PlayerDSIRequest(0x0102, 3, 4, 5, 6, true, kTime); },
         {8, 1, 2, 3, 4, 5, 6}},
        {"USBDevice",
         [] { HDU_Media_MediaEventUSBDevice(MEV_Detached, 0x0102, 0x0304, 5, 6, 7, 8, true, kTime); },
         {9, 3, 1, 2, 3, 4, 5, 6, 7, 8}},
        {"TemperatureState",
         [] { HDU_Media_OpticalDriveTemperatureState(DriveTemperatureState(511), true, kTime); },
         {10, 0xFF}},
        {"TemperatureValue", [] { HDU_Media_OpticalDriveTemperatureValue(-300, true, kTime); },
         {11, 0xFE, 0xD4}},
        {"SlotState", [] { HDU_Media_OpticalDriveSlotState(1, 2, 3, true, kTime); }, {12, 1, 2, 3}},
        {"EnginePlaybackState",
         [] { HDU_Media_MediaEnginePlaybackStateLogEntry(7, MPS_Paused, 0x01020304, true, kTime); },
         {13, 7, 2, 1, 2, 3, 4}},
        {"DSIPlaybackState",
         [] { HDU_Media_DSIPlaybackStateLogEntry(9, PlaybackState(0x1FE), true, kTime); },
         {14, 9, 0xFE}},
        {"BrowserFolder",
         [=] { HDU_Media_BrowserChangeFolderLogEntry(-2, 0x33, "Music", folder, 2, true, kTime); },
         Bytes{15} + xobtest::textField("Music") +
             Bytes{2, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 1, 2, 3, 4,
                   1, 2, 3, 4, 5, 6, 7, 8, 0xFF, 0xFE, 0, 0} +
             be(-2, 8) + Bytes{0x33}},
        {"BrowserAbsentListAndFolder",
         [] { HDU_Media_BrowserChangeFolderLogEntry(0x0102030405060708, 0x33, nullptr, nullptr, 5,
                                                    true, kTime); },
         {15, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 0x33}},
        {"BrowserListCappedAt10",
         [] { HDU_Media_BrowserChangeFolderLogEntry(1, 2, "", many(12, folderEntry).data(), 12, true,
                                                    kTime); },
         Bytes{15, 0, 10} + itemBytes(10, folderBytes) + be(1, 8) + Bytes{2}},
        {"BrowserFolderCut",
         [=] { HDU_Media_BrowserChangeFolderLogEntry(1, 2, longText.c_str(), nullptr, 0, true, kTime); },
         Bytes{15} + text(127, 'a') + Bytes{0} + be(1, 8) + Bytes{2}},
        {"RunModeRequest",
         [] { HDU_Media_RunModeRequestServiceManagement(0x01020304, 0x05060708090A0B0C, true, kTime); },
         {16, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
        {"RunModeUpdate",
         [] { HDU_Media_RunModeUpdateServiceManagement(0x0102030405060708, 0x090A0B0C, true, kTime); },
         {17, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
        {"FlushRequest", [] { HDU_Media_FlushRequestServiceManagement(true, kTime); }, {18}},
        {"FlushResponse", [] { HDU_Media_FlushResponseServiceManagement(true, true, kTime); }, {19, 1}},
        {"Watchdog", [] { HDU_Media_ModuleEventWatchdog(kModule, true, kTime); }, Bytes{20} + kModuleItem},
        {"ModulesDump",
         [] { HDU_Media_ModulesDump(std::vector<SModuleInfo>(2, kModule).data(), 2, true, kTime); },
         Bytes{21, 2} + kModuleItem + kModuleItem},
        {"ModulesDumpCappedAt40", [] { HDU_Media_ModulesDump(many(41, module).data(), 41, true, kTime); },
         Bytes{21, 40} + itemBytes(40, moduleBytes)},
        {"ModulesDumpAbsent", [] { HDU_Media_ModulesDump(nullptr, 7, true, kTime); }, {21, 0}},
        {"AdapterError", [] { HDU_Media_MediaEngineAdapterError(5, -2, true, kTime); },
         {22, 5, 0xFF, 0xFF, 0xFF, 0xFE}},
        {"SystemModeChanged", [] { HDU_Media_SystemModeChanged(258, true, kTime); }, {23, 0, 0, 1, 2}},
        {"LauncherError",
         [] { HDU_Media_MediaLauncherError(MediaLauncherError(0x1234), true, kTime); }, {24, 0x34}},
        {"CustomerUpdateAction", [] { HDU_Media_CustomerUpdateAction(CUA_Install, true, true, kTime); },
         {25, 3, 1}},
    };
}

class MediaEntries : public xobtest::SharedDeviceTest<Case> {};

TEST_P(MediaEntries, SendsExactlyOneByteExactRecord) {
    GetParam().call();
    GXob::HDU_Media_FlushRequestServiceManagement(true, kTime);  // marker: nothing came in between
    const std::vector<Bytes> records = s_device->take(2);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(xobtest::hex(records[0]), xobtest::hex(xobtest::logEntry(0x41B, kTime, GetParam().payload)));
    EXPECT_EQ(xobtest::hex(records[1]), xobtest::hex(xobtest::logEntry(0x41B, kTime, {18})));
}

INSTANTIATE_TEST_SUITE_P(Media, MediaEntries, testing::ValuesIn(cases()),
                         [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

}  // namespace
