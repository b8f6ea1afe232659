// Media entries (function identifier 0x41B). Each function writes its sub-identifier (0 to 25) as
// payload byte 0 and then its fields in payload order, which is not always parameter order.
//
// Multi-byte integers are big-endian. Signed values go through the builder's unsigned writers: the
// conversion to unsigned is modulo 2^n, so the bytes written are the value's two's-complement
// bytes. Enumerations go through u8(), which keeps their low 8 bits.
#include <xob/GXobMedia.h>

#include "channel/RecordBuilder.h"

namespace {

using xob::RecordBuilder;

constexpr std::uint16_t kMediaFunctionId = 0x41B;

constexpr int kTextCap = 128;
constexpr int kShortTextCap = 32;

constexpr unsigned kMaxMediaListEntries = 20;
constexpr unsigned kMaxFolderEntries = 10;
constexpr unsigned kMaxModules = 40;

// A media record with its sub-identifier in place.
class MediaRecord : public RecordBuilder {
public:
    explicit MediaRecord(std::uint8_t subId) noexcept : RecordBuilder(kMediaFunctionId) { u8(subId); }
};

// Item layouts, each written once and used by the single-item entry and the lists alike (through
// the builder itself, or through the unchecked writer of a run).
template <typename Writer>
auto& item(Writer& record, const GXob::SModuleInfo& module) noexcept {
    return record.u64be(module.ui64Field1).u8(module.ui32Field2).u8(module.ui32Field3)
        .u8(module.ui8Field4);
}

template <typename Writer>
auto& item(Writer& record, const GXob::SMediaListEntry& entry) noexcept {
    return record.u16be(entry.ui16Field1).u16be(entry.ui16Field2).u8(entry.ui32Field3)
        .u64be(entry.i64Field4);
}

template <typename Writer>
auto& item(Writer& record, const GXob::SXOBListEntry& entry) noexcept {
    return record.u64be(entry.i64Field1).u16be(entry.ui16Field2).u16be(entry.ui16Field3);
}

// Bytes each item layout above writes.
template <typename Item>
constexpr int kItemSize = 0;
template <>
constexpr int kItemSize<GXob::SModuleInfo> = 11;
template <>
constexpr int kItemSize<GXob::SMediaListEntry> = 13;
template <>
constexpr int kItemSize<GXob::SXOBListEntry> = 12;

// A list: its item count (one byte), then the items. An absent list is recorded as an empty one;
// a longer one is cut to its first `cap` items, and the rest of the array is never read. The items
// are written as one run, their room checked once (the caps keep every list within the record);
// should a list ever not fit, its items are written one field at a time up to the record's end.
template <typename Item>
RecordBuilder& list(RecordBuilder& record, const Item* items, unsigned char count,
                    unsigned cap) noexcept {
    static_assert(kItemSize<Item> > 0, "every item layout has its size");
    const unsigned recorded = items == nullptr ? 0u : (count < cap ? count : cap);
    record.u8(recorded);
    const int size = static_cast<int>(recorded) * kItemSize<Item>;
    const bool written = record.run(size, [&](RecordBuilder::Run& run) {
        for (unsigned i = 0; i < recorded; ++i) {
            item(run, items[i]);
        }
    });
    if (!written) {
        for (unsigned i = 0; i < recorded; ++i) {
            item(record, items[i]);
        }
    }
    return record;
}

}  // namespace

namespace GXob {

void Media_MediaListDump(const SMediaListEntry* entries, unsigned char count, bool useCallerTime,
                         int callerTime) noexcept {
    MediaRecord record(0);
    list(record, entries, count, kMaxMediaListEntries).send(useCallerTime, callerTime);
}

void Media_MediaEventOpticalDrive(MediaEventType eventType, MediaType mediaType,
                                  unsigned short ui16Value, bool useCallerTime,
                                  int callerTime) noexcept {
    MediaRecord(1).u8(eventType).u8(mediaType).u16be(ui16Value).send(useCallerTime, callerTime);
}

void Media_MediaEventExternalDevice(unsigned short ui16Value, const char* text,
                                    const char* shortText, bool useCallerTime,
                                    int callerTime) noexcept {
    MediaRecord(2).text(text, kTextCap).text(shortText, kShortTextCap).u16be(ui16Value)
        .send(useCallerTime, callerTime);
}

void Media_RecorderEvent(unsigned short ui16Value1, MediaRecorderEventType eventType,
                         unsigned short ui16Value2, unsigned long long ui64Value,
                         bool useCallerTime, int callerTime) noexcept {
    MediaRecord(3).u16be(ui16Value1).u8(eventType).u16be(ui16Value2).u64be(ui64Value)
        .send(useCallerTime, callerTime);
}

void Media_AsyncException(DSIType dsiType, unsigned char ui8Value, unsigned short ui16Value1,
                          unsigned short ui16Value2, const char* text, bool useCallerTime,
                          int callerTime) noexcept {
    MediaRecord(4).text(text, kTextCap).u8(dsiType).u8(ui8Value).u16be(ui16Value1)
        .u16be(ui16Value2).send(useCallerTime, callerTime);
}

void Media_PlayerLogEntry(unsigned short ui16Value, unsigned char ui8Value1,
                          unsigned char ui8Value2, int i32Value, bool useCallerTime,
                          int callerTime) noexcept {
    MediaRecord(5).u16be(ui16Value).u8(ui8Value1).u8(ui8Value2).u32be(i32Value)
        .send(useCallerTime, callerTime);
}

void Media_PlayerDSILogEntry(unsigned char ui8Value1, unsigned char ui8Value2,
                             unsigned short ui16Value1, unsigned short ui16Value2,
                             MediaType mediaType1, unsigned short ui16Value3,
                             unsigned short ui16Value4, MediaType mediaType2, bool useCallerTime,
                             int callerTime) noexcept {
    MediaRecord(6).u8(ui8Value1).u8(ui8Value2).u16be(ui16Value1).u16be(ui16Value2)
        .u8(mediaType1).u16be(ui16Value3).u16be(ui16Value4).u8(mediaType2)
        .send(useCallerTime, callerTime);
}

void Media_PlaybackErrorLogEntry(unsigned long long ui64Value, unsigned short ui16Value,
                                 unsigned char ui8Value1, unsigned char ui8Value2,
                                 unsigned char ui8Value3, const char* text, bool useCallerTime,
                                 int callerTime) noexcept {
    MediaRecord(7).text(text, kTextCap).u64be(ui64Value).u16be(ui16Value).u8(ui8Value1)
        .u8(ui8Value2).u8(ui8Value3).send(useCallerTime, callerTime);
}

void Media_PlayerDSIRequest(unsigned short ui16Value, unsigned char ui8Value1,
                            unsigned char ui8Value2, unsigned char ui8Value3,
                            unsigned char ui8Value4, bool useCallerTime, int callerTime) noexcept {
    MediaRecord(8).u16be(ui16Value).u8(ui8Value1).u8(ui8Value2).u8(ui8Value3).u8(ui8Value4)
        .send(useCallerTime, callerTime);
}

void HDU_Media_MediaEventUSBDevice(MediaEventType eventType, unsigned short ui16Value1,
                                   unsigned short ui16Value2, unsigned char ui8Value1,
                                   unsigned char ui8Value2, unsigned char ui8Value3,
                                   unsigned char ui8Value4, bool useCallerTime,
                                   int callerTime) noexcept {
    MediaRecord(9).u8(eventType).u16be(ui16Value1).u16be(ui16Value2).u8(ui8Value1)
        .u8(ui8Value2).u8(ui8Value3).u8(ui8Value4).send(useCallerTime, callerTime);
}

void HDU_Media_OpticalDriveTemperatureState(DriveTemperatureState state, bool useCallerTime,
                                            int callerTime) noexcept {
    MediaRecord(10).u8(state).send(useCallerTime, callerTime);
}

void HDU_Media_OpticalDriveTemperatureValue(short i16Temperature, bool useCallerTime,
                                            int callerTime) noexcept {
    MediaRecord(11).u16be(i16Temperature).send(useCallerTime, callerTime);
}

void HDU_Media_OpticalDriveSlotState(unsigned char ui8Value1, unsigned char ui8Value2,
                                     unsigned char ui8Value3, bool useCallerTime,
                                     int callerTime) noexcept {
    MediaRecord(12).u8(ui8Value1).u8(ui8Value2).u8(ui8Value3).send(useCallerTime, callerTime);
}

void HDU_Media_MediaEnginePlaybackStateLogEntry(unsigned char ui8Value, PlaybackState state,
                                                int i32Value, bool useCallerTime,
                                                int callerTime) noexcept {
    MediaRecord(13).u8(ui8Value).u8(state).u32be(i32Value).send(useCallerTime, callerTime);
}

void HDU_Media_DSIPlaybackStateLogEntry(unsigned char ui8Value, PlaybackState state,
                                        bool useCallerTime, int callerTime) noexcept {
    MediaRecord(14).u8(ui8Value).u8(state).send(useCallerTime, callerTime);
}

void HDU_Media_BrowserChangeFolderLogEntry(long long i64Value, unsigned char ui8Value,
                                           const char* folder, const SXOBListEntry* entries,
                                           unsigned char count, bool useCallerTime,
                                           int callerTime) noexcept {
    MediaRecord record(15);
    list(record.text(folder, kTextCap), entries, count, kMaxFolderEntries)
        .u64be(i64Value).u8(ui8Value).send(useCallerTime, callerTime);
}

void HDU_Media_RunModeRequestServiceManagement(unsigned int ui32Value,
                                               unsigned long long ui64Value, bool useCallerTime,
                                               int callerTime) noexcept {
    MediaRecord(16).u32be(ui32Value).u64be(ui64Value).send(useCallerTime, callerTime);
}

void HDU_Media_RunModeUpdateServiceManagement(unsigned long long ui64Value,
                                              unsigned int ui32Value, bool useCallerTime,
                                              int callerTime) noexcept {
    MediaRecord(17).u64be(ui64Value).u32be(ui32Value).send(useCallerTime, callerTime);
}

void HDU_Media_FlushRequestServiceManagement(bool useCallerTime, int callerTime) noexcept {
    MediaRecord(18).send(useCallerTime, callerTime);
}

void HDU_Media_FlushResponseServiceManagement(bool response, bool useCallerTime,
                                              int callerTime) noexcept {
    MediaRecord(19).boolean(response).send(useCallerTime, callerTime);
}

void HDU_Media_ModuleEventWatchdog(SModuleInfo module, bool useCallerTime,
                                   int callerTime) noexcept {
    MediaRecord record(20);
    item(record, module).send(useCallerTime, callerTime);
}

void HDU_Media_ModulesDump(const SModuleInfo* modules, unsigned char count, bool useCallerTime,
                           int callerTime) noexcept {
    MediaRecord record(21);
    list(record, modules, count, kMaxModules).send(useCallerTime, callerTime);
}

void HDU_Media_MediaEngineAdapterError(unsigned char ui8Value, int i32Value, bool useCallerTime,
                                       int callerTime) noexcept {
    MediaRecord(22).u8(ui8Value).u32be(i32Value).send(useCallerTime, callerTime);
}

void HDU_Media_SystemModeChanged(int i32Mode, bool useCallerTime, int callerTime) noexcept {
    MediaRecord(23).u32be(i32Mode).send(useCallerTime, callerTime);
}

void HDU_Media_MediaLauncherError(MediaLauncherError error, bool useCallerTime,
                                  int callerTime) noexcept {
    MediaRecord(24).u8(error).send(useCallerTime, callerTime);
}

void HDU_Media_CustomerUpdateAction(CustomerUpdateAction action, bool flag, bool useCallerTime,
                                    int callerTime) noexcept {
    MediaRecord(25).u8(action).boolean(flag).send(useCallerTime, callerTime);
}

}  // namespace GXob
