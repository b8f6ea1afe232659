// libxob, plain layer: the connectivity entries. Telephone and Bluetooth fixed events and log data,
// the GEPB entry, WLAN, PSD error and MOST navigation-guide entries.
//
// Each function builds one log-entry record and queues it; nothing is returned and nothing is
// reported to the caller. Families share a function identifier and are told apart by a
// sub-identifier in payload byte 0 (the WLAN profile entry alone has an identifier of its own and
// starts with its text). Integers are little-endian; enumerations are recorded as their low byte.
// Texts are NUL-terminated and cut to their cap (terminator included); an absent text is recorded
// as the empty one, except where an entry is said to record nothing without it.
#ifndef XOB_GXOB_CONNECTIVITY_H
#define XOB_GXOB_CONNECTIVITY_H

#include <xob/Export.h>
#include <xob/GXob.h>

namespace GXob {

// Sub-identifier of the Bluetooth fixed events (function identifier 0x411).
enum BTFixSelector : int {
    BTFS_Boot = 0,
    BTFS_LinkLossBTHS = 1,
    BTFS_SAPConnectionToBTHS1 = 2,
    BTFS_SAPConnectionToBTHS2 = 3,
    BTFS_ParrotVersion = 4,
    BTFS_MarvellVersion = 5
};

// Sub-identifier of the PSD error entries (function identifier 0x429).
enum PSDSelector : int {
    PSDS_PSD01_XmitError = 0,
    PSDS_PSD02_XmitError = 1,
    PSDS_PSD01_ErrorMsg = 2,
    PSDS_PSD02_ErrorMsg = 3
};

// GEPB event; it is the entry's sub-identifier and selects how much of its text is kept: 17
// characters for events 0, 2 and 3, 35 for event 1, none for any other value.
enum GEPBEvent : int {
    GEPB_Event0 = 0,
    GEPB_Event1 = 1,
    GEPB_Event2 = 2,
    GEPB_Event3 = 3
};

// The following are passed through: the entries record the low byte of whatever value arrives.
enum ESyncRequestResult : int {
    SRR_Success = 0,
    SRR_Failed = 1,
    SRR_Timeout = 2
};

enum EFrameDropReason : int {
    FDR_Unknown = 0,
    FDR_BufferOverflow = 1,
    FDR_Timeout = 2
};

enum eWlanOpMode : int {
    WLAN_OPM_Infrastructure = 0,
    WLAN_OPM_AdHoc = 1,
    WLAN_OPM_AccessPoint = 2
};

enum eWlanAuth : int {
    WLAN_AUTH_Open = 0,
    WLAN_AUTH_Shared = 1,
    WLAN_AUTH_WPA = 2,
    WLAN_AUTH_WPA2 = 3
};

enum eWlanEnc : int {
    WLAN_ENC_None = 0,
    WLAN_ENC_WEP = 1,
    WLAN_ENC_TKIP = 2,
    WLAN_ENC_AES = 3
};

// Telephone fixed events, 0x410.
XOB_EXPORT void TelFix_Boot_LogEntry(bool useCallerTime, int callerTime) noexcept;
// Records nothing when `info` is null. Text cap 128.
// info: set by the calling component.
XOB_EXPORT void TelFix_CallDropped_LogEntry(const char* info, bool useCallerTime,
                                            int callerTime) noexcept;

// Bluetooth fixed events, 0x411: the selector alone, or the selector and a version text (cap 81).
// version: the module's version text; set by the calling component.
XOB_EXPORT void BTFix_Generic_Logging(BTFixSelector selector, bool useCallerTime,
                                      int callerTime) noexcept;
XOB_EXPORT void BTFix_Boot_LogEntry(bool useCallerTime, int callerTime) noexcept;
XOB_EXPORT void BTFix_LinkLossBTHS_LogEntry(bool useCallerTime, int callerTime) noexcept;
XOB_EXPORT void BTFix_SAPConnectionToBTHS1_LogEntry(bool useCallerTime, int callerTime) noexcept;
XOB_EXPORT void BTFix_SAPConnectionToBTHS2_LogEntry(bool useCallerTime, int callerTime) noexcept;
XOB_EXPORT void BTFix_ParrotVersion_LogEntry(const char* version, bool useCallerTime,
                                             int callerTime) noexcept;
XOB_EXPORT void BTFix_MarvellVersion_LogEntry(const char* version, bool useCallerTime,
                                              int callerTime) noexcept;

// Bluetooth log data, 0x412. The connection drop records nothing when either text is null; its
// two values come first, then `device` (cap 50) and `reason` (cap 128).
// device, reason: set by the calling component.
// value1, value2: set by the calling component.
// code (exception): set by the calling component.
XOB_EXPORT void BTLog_ConnectionDrop_LogEntry(const char* device, const char* reason,
                                              unsigned int value1, unsigned int value2,
                                              bool useCallerTime, int callerTime) noexcept;
XOB_EXPORT void BTLog_Exception_LogEntry(unsigned int code, bool useCallerTime,
                                         int callerTime) noexcept;

// GEPB, 0x413: records nothing when `text` is null. The text is only read (char* for callers that
// pass null; see <xob/GXob.h> for passing a literal or a std::string).
// text: set by the calling component.
XOB_EXPORT void GEPB_LogEntry(GEPBEvent event, char* text, bool useCallerTime,
                              int callerTime) noexcept;

// Telephone log data, 0x414. The five texts follow one another; caps 16, 8, 30, 50, 50 and
// 18, 16, 16, 16, 32.
// text1 ... text5: set by the calling component.
XOB_EXPORT void Tel_CallDropDynamicData_LogEntry(const char* text1, const char* text2,
                                                 const char* text3, const char* text4,
                                                 const char* text5, bool useCallerTime,
                                                 int callerTime) noexcept;
XOB_EXPORT void Tel_StaticData_LogEntry(const char* text1, const char* text2, const char* text3,
                                        const char* text4, const char* text5, bool useCallerTime,
                                        int callerTime) noexcept;
// Records nothing when `info` is null. Text cap 128.
// info: set by the calling component.
XOB_EXPORT void Tel_Exception_LogEntry(const char* info, bool useCallerTime,
                                       int callerTime) noexcept;

// WLAN events, 0x741. Entries taking a 6-byte block or a server name record nothing when it is
// null. Server names are capped at 64. Blocks and names are only read (char* and unsigned char*
// for callers that pass null; see <xob/GXob.h> for passing a literal or a std::string).
// value1, value2 (client): set by the calling component.
// address: the 6-byte block; set by the calling component.
// server: the UPnP server's name; set by the calling component.
// error: set by the calling component.
XOB_EXPORT void WLAN_client_LogEntry(unsigned char value1, unsigned char value2,
                                     unsigned char* address, bool useCallerTime,
                                     int callerTime) noexcept;
XOB_EXPORT void WLAN_joinUPNPServer_LogEntry(char* server, bool useCallerTime,
                                             int callerTime) noexcept;
XOB_EXPORT void WLAN_leaveUPNPServer_LogEntry(char* server, bool useCallerTime,
                                              int callerTime) noexcept;
XOB_EXPORT void WLAN_startBSS_LogEntry(unsigned char* address, bool useCallerTime,
                                       int callerTime) noexcept;
XOB_EXPORT void WLAN_stopBSS_LogEntry(unsigned char* address, bool useCallerTime,
                                      int callerTime) noexcept;
XOB_EXPORT void WLAN_requestConnect_LogEntry(bool useCallerTime, int callerTime) noexcept;
XOB_EXPORT void WLAN_errorOccured_LogEntry(unsigned short error, bool useCallerTime,
                                           int callerTime) noexcept;

// WLAN profile, 0x740, without sub-identifier: `name` (cap 33), six one-byte fields, then the
// four texts stored back to back at `texts` (cap 65 each). Records nothing when `name` or `texts`
// is null. Both are only read (char* for callers that pass null).
// name, texts: the profile's name and its four texts; set by the calling component.
// value1, value2, value3: set by the calling component.
XOB_EXPORT void WLAN_SetProfile_LogEntry(char* name, unsigned char value1, eWlanOpMode opMode,
                                         unsigned char value2, eWlanAuth auth, eWlanEnc enc,
                                         unsigned char value3, char* texts, bool useCallerTime,
                                         int callerTime) noexcept;

// PSD errors, 0x429: the selector, `value`, then the first `count` bytes of `bytes`, at most 8
// (none for a negative count). Records nothing when `bytes` is null.
// value, bytes, count: set by the calling component.
XOB_EXPORT void PSD_MsgErrorHDU_LogEntry(PSDSelector selector, unsigned char value,
                                         const unsigned char* bytes, int count,
                                         bool useCallerTime, int callerTime) noexcept;
XOB_EXPORT void PSD_PSD01_XmitErrorHDU_LogEntry(unsigned char value, const unsigned char* bytes,
                                                int count, bool useCallerTime,
                                                int callerTime) noexcept;
XOB_EXPORT void PSD_PSD02_XmitErrorHDU_LogEntry(unsigned char value, const unsigned char* bytes,
                                                int count, bool useCallerTime,
                                                int callerTime) noexcept;
XOB_EXPORT void PSD_PSD01_ErrorMsgHDU_LogEntry(unsigned char value, const unsigned char* bytes,
                                               int count, bool useCallerTime,
                                               int callerTime) noexcept;
XOB_EXPORT void PSD_PSD02_ErrorMsgHDU_LogEntry(unsigned char value, const unsigned char* bytes,
                                               int count, bool useCallerTime,
                                               int callerTime) noexcept;
XOB_EXPORT void PSD_GatewayMissingHDU_LogEntry(bool useCallerTime, int callerTime) noexcept;

// MOST navigation guide, 0x428.
// drops (frame drops), message (error message): set by the calling component.
XOB_EXPORT void MostNavGuide_FramedropsHDU_LogEntry(EFrameDropReason reason, unsigned int drops,
                                                    bool useCallerTime, int callerTime) noexcept;
XOB_EXPORT void MostNavGuide_ErrorMsgHDU_LogEntry(const char* message, bool useCallerTime,
                                                  int callerTime) noexcept;
XOB_EXPORT void MostNavGuide_ComBreakdownHDU_LogEntry(bool useCallerTime, int callerTime) noexcept;
XOB_EXPORT void MostNavGuide_SyncRequestHDU_LogEntry(ESyncRequestResult result, bool useCallerTime,
                                                     int callerTime) noexcept;

}  // namespace GXob

#endif
