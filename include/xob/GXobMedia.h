// libxob, media entries: one function per media field event (player and DSI requests, media engine
// and playback states, optical drive, USB and external devices, browser folder changes, module
// dumps, service management). All of them share function identifier 0x41B and are told apart by a
// sub-identifier in payload byte 0.
//
// Unlike the other entry families, the media entries write their multi-byte integers big-endian.
// An enumeration is recorded as its low 8 bits and a bool as 0 or 1. Texts are capped (128 bytes,
// the external device's second text 32) and an absent text is recorded as the empty text. Lists
// are capped so that each call makes exactly one record: 20 media-list records, 10 folder entries,
// 40 modules; an absent list is recorded as an empty one.
//
// The enumerations are shared with the calling media components. Their underlying type is a fixed
// 32 bits, so any value a caller passes is valid; the entries record whatever value arrives.
#ifndef XOB_GXOB_MEDIA_H
#define XOB_GXOB_MEDIA_H

#include <xob/GXob.h>

namespace GXob {

enum MediaType : int {
    MT_Unknown = 0,
    MT_AudioCD = 1,
    MT_DataCD = 2,
    MT_DVDAudio = 3,
    MT_DVDVideo = 4,
    MT_USBMassStorage = 5,
    MT_SDCard = 6,
    MT_AppleDevice = 7,
    MT_MTPDevice = 8,
    MT_BluetoothAudio = 9,
    MT_HardDisk = 10,
    MT_AuxIn = 11
};

enum PlaybackState : int {
    MPS_Stopped = 0,
    MPS_Playing = 1,
    MPS_Paused = 2,
    MPS_FastForward = 3,
    MPS_FastRewind = 4,
    MPS_Buffering = 5,
    MPS_Error = 6
};

enum MediaEventType : int {
    MEV_Inserted = 0,
    MEV_Ejected = 1,
    MEV_Attached = 2,
    MEV_Detached = 3,
    MEV_Mounted = 4,
    MEV_Unmounted = 5,
    MEV_Unsupported = 6,
    MEV_ReadError = 7,
    MEV_Overcurrent = 8
};

enum MediaRecorderEventType : int {
    MRE_Started = 0,
    MRE_Stopped = 1,
    MRE_Paused = 2,
    MRE_Resumed = 3,
    MRE_StorageFull = 4,
    MRE_WriteError = 5
};

enum DSIType : int {
    MDSI_Unknown = 0,
    MDSI_Player = 1,
    MDSI_Browser = 2,
    MDSI_MediaList = 3,
    MDSI_DeviceManager = 4,
    MDSI_Recorder = 5
};

enum CustomerUpdateAction : int {
    CUA_None = 0,
    CUA_Search = 1,
    CUA_Start = 2,
    CUA_Install = 3,
    CUA_Cancel = 4,
    CUA_Finish = 5
};

enum MediaLauncherError : int {
    MLE_None = 0,
    MLE_StartFailed = 1,
    MLE_StartTimeout = 2,
    MLE_ProcessDied = 3,
    MLE_ConfigurationMissing = 4
};

enum DriveTemperatureState : int {
    DTS_Normal = 0,
    DTS_Warning = 1,
    DTS_Critical = 2,
    DTS_Shutdown = 3
};

// One module of the media system. Recorded as 11 bytes: ui64Field1 (8 bytes, big-endian), then the
// low bytes of ui32Field2 and ui32Field3, then ui8Field4.
struct SModuleInfo {
    unsigned long long ui64Field1;
    unsigned int ui32Field2;
    unsigned int ui32Field3;
    unsigned char ui8Field4;
};

// One media-list record. Recorded as 13 bytes: ui16Field1, ui16Field2 (big-endian), the low byte
// of ui32Field3, i64Field4 (big-endian).
struct SMediaListEntry {
    unsigned short ui16Field1;
    unsigned short ui16Field2;
    unsigned int ui32Field3;
    long long i64Field4;
};

// One entry of a browsed folder. Recorded as 12 bytes: i64Field1, ui16Field2, ui16Field3, all
// big-endian.
struct SXOBListEntry {
    long long i64Field1;
    unsigned short ui16Field2;
    unsigned short ui16Field3;
};

// Every entry ends with the pair (useCallerTime, callerTime): when useCallerTime is set, the low
// 24 bits of callerTime are the record's timestamp instead of the monotonic clock.
// Above each entry, the plain values it takes; like the fields of the three records above, they
// are set by the calling component, and the entries record them as given.

// Sub-identifier 0: the first min(count, 20) media-list records (none if `entries` is null).
XOB_EXPORT void Media_MediaListDump(const SMediaListEntry* entries, unsigned char count,
                                    bool useCallerTime, int callerTime) noexcept;
// 1
// ui16Value: set by the calling component.
XOB_EXPORT void Media_MediaEventOpticalDrive(MediaEventType eventType, MediaType mediaType,
                                             unsigned short ui16Value, bool useCallerTime,
                                             int callerTime) noexcept;
// 2: the texts come first (caps 128 and 32), the u16 behind them.
// ui16Value, text, shortText: set by the calling component.
XOB_EXPORT void Media_MediaEventExternalDevice(unsigned short ui16Value, const char* text,
                                               const char* shortText, bool useCallerTime,
                                               int callerTime) noexcept;
// 3
// ui16Value1, ui16Value2, ui64Value: set by the calling component.
XOB_EXPORT void Media_RecorderEvent(unsigned short ui16Value1, MediaRecorderEventType eventType,
                                    unsigned short ui16Value2, unsigned long long ui64Value,
                                    bool useCallerTime, int callerTime) noexcept;
// 4: the text comes first (cap 128).
// ui8Value, ui16Value1, ui16Value2, text: set by the calling component.
XOB_EXPORT void Media_AsyncException(DSIType dsiType, unsigned char ui8Value,
                                     unsigned short ui16Value1, unsigned short ui16Value2,
                                     const char* text, bool useCallerTime,
                                     int callerTime) noexcept;
// 5
// ui16Value, ui8Value1, ui8Value2, i32Value: set by the calling component.
XOB_EXPORT void Media_PlayerLogEntry(unsigned short ui16Value, unsigned char ui8Value1,
                                     unsigned char ui8Value2, int i32Value, bool useCallerTime,
                                     int callerTime) noexcept;
// 6
// ui8Value1, ui8Value2, ui16Value1 ... ui16Value4: set by the calling component.
XOB_EXPORT void Media_PlayerDSILogEntry(unsigned char ui8Value1, unsigned char ui8Value2,
                                        unsigned short ui16Value1, unsigned short ui16Value2,
                                        MediaType mediaType1, unsigned short ui16Value3,
                                        unsigned short ui16Value4, MediaType mediaType2,
                                        bool useCallerTime, int callerTime) noexcept;
// 7: the text comes first (cap 128).
// ui64Value, ui16Value, ui8Value1, ui8Value2, ui8Value3, text: set by the calling component.
XOB_EXPORT void Media_PlaybackErrorLogEntry(unsigned long long ui64Value,
                                            unsigned short ui16Value, unsigned char ui8Value1,
                                            unsigned char ui8Value2, unsigned char ui8Value3,
                                            const char* text, bool useCallerTime,
                                            int callerTime) noexcept;
// 8
// ui16Value, ui8Value1, ui8Value2, ui8Value3, ui8Value4: set by the calling component.
XOB_EXPORT void Media_PlayerDSIRequest(unsigned short ui16Value, unsigned char ui8Value1,
                                       unsigned char ui8Value2, unsigned char ui8Value3,
                                       unsigned char ui8Value4, bool useCallerTime,
                                       int callerTime) noexcept;
// 9
// ui16Value1, ui16Value2, ui8Value1 ... ui8Value4: set by the calling component.
XOB_EXPORT void HDU_Media_MediaEventUSBDevice(MediaEventType eventType, unsigned short ui16Value1,
                                              unsigned short ui16Value2, unsigned char ui8Value1,
                                              unsigned char ui8Value2, unsigned char ui8Value3,
                                              unsigned char ui8Value4, bool useCallerTime,
                                              int callerTime) noexcept;
// 10
XOB_EXPORT void HDU_Media_OpticalDriveTemperatureState(DriveTemperatureState state,
                                                       bool useCallerTime,
                                                       int callerTime) noexcept;
// 11
// i16Temperature: the drive's temperature, on the calling component's scale.
XOB_EXPORT void HDU_Media_OpticalDriveTemperatureValue(short i16Temperature, bool useCallerTime,
                                                       int callerTime) noexcept;
// 12
// ui8Value1, ui8Value2, ui8Value3: set by the calling component.
XOB_EXPORT void HDU_Media_OpticalDriveSlotState(unsigned char ui8Value1, unsigned char ui8Value2,
                                                unsigned char ui8Value3, bool useCallerTime,
                                                int callerTime) noexcept;
// 13
// ui8Value, i32Value: set by the calling component.
XOB_EXPORT void HDU_Media_MediaEnginePlaybackStateLogEntry(unsigned char ui8Value,
                                                           PlaybackState state, int i32Value,
                                                           bool useCallerTime,
                                                           int callerTime) noexcept;
// 14
// ui8Value: set by the calling component.
XOB_EXPORT void HDU_Media_DSIPlaybackStateLogEntry(unsigned char ui8Value, PlaybackState state,
                                                   bool useCallerTime, int callerTime) noexcept;
// 15: the folder text first (cap 128), then the first min(count, 10) entries (none if `entries`
// is null), then i64Value and ui8Value.
// i64Value, ui8Value: set by the calling component.
XOB_EXPORT void HDU_Media_BrowserChangeFolderLogEntry(long long i64Value, unsigned char ui8Value,
                                                      const char* folder,
                                                      const SXOBListEntry* entries,
                                                      unsigned char count, bool useCallerTime,
                                                      int callerTime) noexcept;
// 16
// ui32Value, ui64Value: set by the calling component.
XOB_EXPORT void HDU_Media_RunModeRequestServiceManagement(unsigned int ui32Value,
                                                          unsigned long long ui64Value,
                                                          bool useCallerTime,
                                                          int callerTime) noexcept;
// 17
// ui64Value, ui32Value: set by the calling component.
XOB_EXPORT void HDU_Media_RunModeUpdateServiceManagement(unsigned long long ui64Value,
                                                         unsigned int ui32Value,
                                                         bool useCallerTime,
                                                         int callerTime) noexcept;
// 18
XOB_EXPORT void HDU_Media_FlushRequestServiceManagement(bool useCallerTime,
                                                        int callerTime) noexcept;
// 19
// response: set by the calling component.
XOB_EXPORT void HDU_Media_FlushResponseServiceManagement(bool response, bool useCallerTime,
                                                         int callerTime) noexcept;
// 20: the same 11 bytes as the module's item in a dump.
XOB_EXPORT void HDU_Media_ModuleEventWatchdog(SModuleInfo module, bool useCallerTime,
                                              int callerTime) noexcept;
// 21: the first min(count, 40) modules (none if `modules` is null).
XOB_EXPORT void HDU_Media_ModulesDump(const SModuleInfo* modules, unsigned char count,
                                      bool useCallerTime, int callerTime) noexcept;
// 22
// ui8Value, i32Value: set by the calling component.
XOB_EXPORT void HDU_Media_MediaEngineAdapterError(unsigned char ui8Value, int i32Value,
                                                  bool useCallerTime, int callerTime) noexcept;
// 23
// i32Mode: the new system mode; set by the calling component.
XOB_EXPORT void HDU_Media_SystemModeChanged(int i32Mode, bool useCallerTime,
                                            int callerTime) noexcept;
// 24
XOB_EXPORT void HDU_Media_MediaLauncherError(MediaLauncherError error, bool useCallerTime,
                                             int callerTime) noexcept;
// 25
// flag: set by the calling component.
XOB_EXPORT void HDU_Media_CustomerUpdateAction(CustomerUpdateAction action, bool flag,
                                               bool useCallerTime, int callerTime) noexcept;

}  // namespace GXob

#endif
