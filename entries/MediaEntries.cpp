// Media entries: every kind has function identifier 0x41B and its own sub-identifier in payload
// byte 0. Each function writes its fields in the order of its statement in
// entries/EntryKinds.def (which is not always parameter order); the statement makes the
// multi-byte integers big-endian.
//
// Signed values go through the builder's unsigned writers: the conversion to unsigned is modulo
// 2^n, so the bytes written are the value's two's-complement bytes. Enumerations go through u8(),
// which keeps their low 8 bits.
#include <xob/GXobMedia.h>

#include "entries/Entry.h"

namespace {

using xob::Entry;
namespace kind = xob::kind;

// The item layouts, each written once and used by the single-item entry and the lists alike.
struct Item {
    template <typename Fields>
    auto operator()(const Fields& fields, const GXob::SModuleInfo& module) const noexcept {
        return fields.u64(module.ui64Field1).u8(module.ui32Field2).u8(module.ui32Field3).u8(module.ui8Field4);
    }
    template <typename Fields>
    auto operator()(const Fields& fields, const GXob::SMediaListEntry& entry) const noexcept {
        return fields.u16(entry.ui16Field1).u16(entry.ui16Field2).u8(entry.ui32Field3).s64(entry.i64Field4);
    }
    template <typename Fields>
    auto operator()(const Fields& fields, const GXob::SXOBListEntry& entry) const noexcept {
        return fields.s64(entry.i64Field1).u16(entry.ui16Field2).u16(entry.ui16Field3);
    }
};

}  // namespace

namespace GXob {

void Media_MediaListDump(const SMediaListEntry* entries, unsigned char count, bool useCallerTime,
                         int callerTime) noexcept {
    Entry<kind::Media_MediaListDump>().list(entries, count, Item()).send(useCallerTime, callerTime);
}

void Media_MediaEventOpticalDrive(MediaEventType eventType, MediaType mediaType,
                                  unsigned short ui16Value, bool useCallerTime,
                                  int callerTime) noexcept {
    Entry<kind::Media_MediaEventOpticalDrive>().u8(eventType).u8(mediaType).u16(ui16Value)
        .send(useCallerTime, callerTime);
}

void Media_MediaEventExternalDevice(unsigned short ui16Value, const char* text,
                                    const char* shortText, bool useCallerTime,
                                    int callerTime) noexcept {
    Entry<kind::Media_MediaEventExternalDevice>().text(text).text(shortText).u16(ui16Value)
        .send(useCallerTime, callerTime);
}

void Media_RecorderEvent(unsigned short ui16Value1, MediaRecorderEventType eventType,
                         unsigned short ui16Value2, unsigned long long ui64Value,
                         bool useCallerTime, int callerTime) noexcept {
    Entry<kind::Media_RecorderEvent>().u16(ui16Value1).u8(eventType).u16(ui16Value2).u64(ui64Value)
        .send(useCallerTime, callerTime);
}

void Media_AsyncException(DSIType dsiType, unsigned char ui8Value, unsigned short ui16Value1,
                          unsigned short ui16Value2, const char* text, bool useCallerTime,
                          int callerTime) noexcept {
    Entry<kind::Media_AsyncException>().text(text).u8(dsiType).u8(ui8Value).u16(ui16Value1)
        .u16(ui16Value2).send(useCallerTime, callerTime);
}

void Media_PlayerLogEntry(unsigned short ui16Value, unsigned char ui8Value1,
                          unsigned char ui8Value2, int i32Value, bool useCallerTime,
                          int callerTime) noexcept {
    Entry<kind::Media_PlayerLogEntry>().u16(ui16Value).u8(ui8Value1).u8(ui8Value2).s32(i32Value)
        .send(useCallerTime, callerTime);
}

void Media_PlayerDSILogEntry(unsigned char ui8Value1, unsigned char ui8Value2,
                             unsigned short ui16Value1, unsigned short ui16Value2,
                             MediaType mediaType1, unsigned short ui16Value3,
                             unsigned short ui16Value4, MediaType mediaType2, bool useCallerTime,
                             int callerTime) noexcept {
    Entry<kind::Media_PlayerDSILogEntry>().u8(ui8Value1).u8(ui8Value2).u16(ui16Value1).u16(ui16Value2)
        .u8(mediaType1).u16(ui16Value3).u16(ui16Value4).u8(mediaType2)
        .send(useCallerTime, callerTime);
}

void Media_PlaybackErrorLogEntry(unsigned long long ui64Value, unsigned short ui16Value,
                                 unsigned char ui8Value1, unsigned char ui8Value2,
                                 unsigned char ui8Value3, const char* text, bool useCallerTime,
                                 int callerTime) noexcept {
    Entry<kind::Media_PlaybackErrorLogEntry>().text(text).u64(ui64Value).u16(ui16Value).u8(ui8Value1)
        .u8(ui8Value2).u8(ui8Value3).send(useCallerTime, callerTime);
}

void Media_PlayerDSIRequest(unsigned short ui16Value, unsigned char ui8Value1,
                            unsigned char ui8Value2, unsigned char ui8Value3,
                            unsigned char ui8Value4, bool useCallerTime, int callerTime) noexcept {
    Entry<kind::Media_PlayerDSIRequest>().u16(ui16Value).u8(ui8Value1).u8(ui8Value2).u8(ui8Value3).u8(ui8Value4)
        .send(useCallerTime, callerTime);
}

void HDU_Media_MediaEventUSBDevice(MediaEventType eventType, unsigned short ui16Value1,
                                   unsigned short ui16Value2, unsigned char ui8Value1,
                                   unsigned char ui8Value2, unsigned char ui8Value3,
                                   unsigned char ui8Value4, bool useCallerTime,
                                   int callerTime) noexcept {
    Entry<kind::HDU_Media_MediaEventUSBDevice>().u8(eventType).u16(ui16Value1).u16(ui16Value2).u8(ui8Value1)
        .u8(ui8Value2).u8(ui8Value3).u8(ui8Value4).send(useCallerTime, callerTime);
}

void HDU_Media_OpticalDriveTemperatureState(DriveTemperatureState state, bool useCallerTime,
                                            int callerTime) noexcept {
    Entry<kind::HDU_Media_OpticalDriveTemperatureState>().u8(state).send(useCallerTime, callerTime);
}

void HDU_Media_OpticalDriveTemperatureValue(short i16Temperature, bool useCallerTime,
                                            int callerTime) noexcept {
    Entry<kind::HDU_Media_OpticalDriveTemperatureValue>().s16(i16Temperature)
        .send(useCallerTime, callerTime);
}

void HDU_Media_OpticalDriveSlotState(unsigned char ui8Value1, unsigned char ui8Value2,
                                     unsigned char ui8Value3, bool useCallerTime,
                                     int callerTime) noexcept {
    Entry<kind::HDU_Media_OpticalDriveSlotState>().u8(ui8Value1).u8(ui8Value2).u8(ui8Value3)
        .send(useCallerTime, callerTime);
}

void HDU_Media_MediaEnginePlaybackStateLogEntry(unsigned char ui8Value, PlaybackState state,
                                                int i32Value, bool useCallerTime,
                                                int callerTime) noexcept {
    Entry<kind::HDU_Media_MediaEnginePlaybackStateLogEntry>().u8(ui8Value).u8(state).s32(i32Value)
        .send(useCallerTime, callerTime);
}

void HDU_Media_DSIPlaybackStateLogEntry(unsigned char ui8Value, PlaybackState state,
                                        bool useCallerTime, int callerTime) noexcept {
    Entry<kind::HDU_Media_DSIPlaybackStateLogEntry>().u8(ui8Value).u8(state)
        .send(useCallerTime, callerTime);
}

void HDU_Media_BrowserChangeFolderLogEntry(long long i64Value, unsigned char ui8Value,
                                           const char* folder, const SXOBListEntry* entries,
                                           unsigned char count, bool useCallerTime,
                                           int callerTime) noexcept {
    Entry<kind::HDU_Media_BrowserChangeFolderLogEntry>().text(folder).list(entries, count, Item())
        .s64(i64Value).u8(ui8Value).send(useCallerTime, callerTime);
}

void HDU_Media_RunModeRequestServiceManagement(unsigned int ui32Value,
                                               unsigned long long ui64Value, bool useCallerTime,
                                               int callerTime) noexcept {
    Entry<kind::HDU_Media_RunModeRequestServiceManagement>().u32(ui32Value).u64(ui64Value)
        .send(useCallerTime, callerTime);
}

void HDU_Media_RunModeUpdateServiceManagement(unsigned long long ui64Value,
                                              unsigned int ui32Value, bool useCallerTime,
                                              int callerTime) noexcept {
    Entry<kind::HDU_Media_RunModeUpdateServiceManagement>().u64(ui64Value).u32(ui32Value)
        .send(useCallerTime, callerTime);
}

void HDU_Media_FlushRequestServiceManagement(bool useCallerTime, int callerTime) noexcept {
    Entry<kind::HDU_Media_FlushRequestServiceManagement>().send(useCallerTime, callerTime);
}

void HDU_Media_FlushResponseServiceManagement(bool response, bool useCallerTime,
                                              int callerTime) noexcept {
    Entry<kind::HDU_Media_FlushResponseServiceManagement>().boolean(response)
        .send(useCallerTime, callerTime);
}

void HDU_Media_ModuleEventWatchdog(SModuleInfo module, bool useCallerTime,
                                   int callerTime) noexcept {
    const Entry<kind::HDU_Media_ModuleEventWatchdog> record;
    Item()(record, module).send(useCallerTime, callerTime);
}

void HDU_Media_ModulesDump(const SModuleInfo* modules, unsigned char count, bool useCallerTime,
                           int callerTime) noexcept {
    Entry<kind::HDU_Media_ModulesDump>().list(modules, count, Item()).send(useCallerTime, callerTime);
}

void HDU_Media_MediaEngineAdapterError(unsigned char ui8Value, int i32Value, bool useCallerTime,
                                       int callerTime) noexcept {
    Entry<kind::HDU_Media_MediaEngineAdapterError>().u8(ui8Value).s32(i32Value)
        .send(useCallerTime, callerTime);
}

void HDU_Media_SystemModeChanged(int i32Mode, bool useCallerTime, int callerTime) noexcept {
    Entry<kind::HDU_Media_SystemModeChanged>().s32(i32Mode).send(useCallerTime, callerTime);
}

void HDU_Media_MediaLauncherError(MediaLauncherError error, bool useCallerTime,
                                  int callerTime) noexcept {
    Entry<kind::HDU_Media_MediaLauncherError>().u8(error).send(useCallerTime, callerTime);
}

void HDU_Media_CustomerUpdateAction(CustomerUpdateAction action, bool flag, bool useCallerTime,
                                    int callerTime) noexcept {
    Entry<kind::HDU_Media_CustomerUpdateAction>().u8(action).boolean(flag)
        .send(useCallerTime, callerTime);
}

}  // namespace GXob
