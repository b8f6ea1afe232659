// Telephone, Bluetooth, GEPB, WLAN, PSD and MOST navigation-guide entries.
//
// Each family has its own function identifier and puts a sub-identifier in payload byte 0. Entries
// that need a text or a byte block return before building anything when it is null.
#include <xob/GXob.h>

#include "channel/RecordBuilder.h"

#include <cstdint>
#include <cstring>

namespace {

using xob::RecordBuilder;

constexpr std::uint16_t kTelFix = 0x410;
constexpr std::uint16_t kBTFix = 0x411;
constexpr std::uint16_t kBTLog = 0x412;
constexpr std::uint16_t kGEPB = 0x413;
constexpr std::uint16_t kTel = 0x414;
constexpr std::uint16_t kMostNavGuide = 0x428;
constexpr std::uint16_t kPSD = 0x429;
constexpr std::uint16_t kWlanProfile = 0x740;
constexpr std::uint16_t kWlan = 0x741;

constexpr int kWlanAddressBytes = 6;
constexpr int kPsdMaxBytes = 8;
constexpr int kBTVersionCap = 81;
constexpr int kInfoCap = 128;
constexpr int kUpnpServerCap = 64;

// Enumerations arrive as full 32-bit values; u8() keeps their low byte.
std::uint32_t bits(int value) noexcept { return static_cast<std::uint32_t>(value); }

void sendSubId(std::uint16_t functionId, std::uint32_t subId, bool useCallerTime,
               int callerTime) noexcept {
    RecordBuilder(functionId).u8(subId).send(useCallerTime, callerTime);
}

void sendText(std::uint16_t functionId, std::uint32_t subId, const char* text, int cap,
              bool useCallerTime, int callerTime) noexcept {
    RecordBuilder(functionId).u8(subId).text(text, cap).send(useCallerTime, callerTime);
}

void sendWlanAddress(std::uint32_t subId, const unsigned char* address, bool useCallerTime,
                     int callerTime) noexcept {
    if (address != nullptr) {
        RecordBuilder(kWlan).u8(subId).bytes(address, kWlanAddressBytes)
            .send(useCallerTime, callerTime);
    }
}

// The version entries share one layout: selector, then the version text.
void BTFix_Generic_StringLogging(GXob::BTFixSelector selector, const char* version,
                                 bool useCallerTime, int callerTime) noexcept {
    sendText(kBTFix, bits(selector), version, kBTVersionCap, useCallerTime, callerTime);
}

// Only events 0 to 3 carry a text; any other value keeps just the terminator.
int gepbTextCap(GXob::GEPBEvent event) noexcept {
    switch (static_cast<std::uint32_t>(event)) {
        case 1:
            return 36;
        case 0:
        case 2:
        case 3:
            return 18;
        default:
            return 1;
    }
}

}  // namespace

namespace GXob {

void TelFix_Boot_LogEntry(bool useCallerTime, int callerTime) noexcept {
    sendSubId(kTelFix, 0, useCallerTime, callerTime);
}

void TelFix_CallDropped_LogEntry(const char* info, bool useCallerTime, int callerTime) noexcept {
    if (info != nullptr) {
        sendText(kTelFix, 1, info, kInfoCap, useCallerTime, callerTime);
    }
}

void BTFix_Generic_Logging(BTFixSelector selector, bool useCallerTime, int callerTime) noexcept {
    sendSubId(kBTFix, bits(selector), useCallerTime, callerTime);
}

void BTFix_Boot_LogEntry(bool useCallerTime, int callerTime) noexcept {
    BTFix_Generic_Logging(BTFS_Boot, useCallerTime, callerTime);
}

void BTFix_LinkLossBTHS_LogEntry(bool useCallerTime, int callerTime) noexcept {
    BTFix_Generic_Logging(BTFS_LinkLossBTHS, useCallerTime, callerTime);
}

void BTFix_SAPConnectionToBTHS1_LogEntry(bool useCallerTime, int callerTime) noexcept {
    BTFix_Generic_Logging(BTFS_SAPConnectionToBTHS1, useCallerTime, callerTime);
}

void BTFix_SAPConnectionToBTHS2_LogEntry(bool useCallerTime, int callerTime) noexcept {
    BTFix_Generic_Logging(BTFS_SAPConnectionToBTHS2, useCallerTime, callerTime);
}

void BTFix_ParrotVersion_LogEntry(const char* version, bool useCallerTime,
                                  int callerTime) noexcept {
    BTFix_Generic_StringLogging(BTFS_ParrotVersion, version, useCallerTime, callerTime);
}

void BTFix_MarvellVersion_LogEntry(const char* version, bool useCallerTime,
                                   int callerTime) noexcept {
    BTFix_Generic_StringLogging(BTFS_MarvellVersion, version, useCallerTime, callerTime);
}

void BTLog_ConnectionDrop_LogEntry(const char* device, const char* reason, unsigned int value1,
                                   unsigned int value2, bool useCallerTime,
                                   int callerTime) noexcept {
    if (device == nullptr || reason == nullptr) {
        return;
    }
    RecordBuilder(kBTLog).u8(0).u32le(value1).u32le(value2).text(device, 50).text(reason, 128)
        .send(useCallerTime, callerTime);
}

void BTLog_Exception_LogEntry(unsigned int code, bool useCallerTime, int callerTime) noexcept {
    RecordBuilder(kBTLog).u8(1).u32le(code).send(useCallerTime, callerTime);
}

void GEPB_LogEntry(GEPBEvent event, char* text, bool useCallerTime, int callerTime) noexcept {
    if (text != nullptr) {
        sendText(kGEPB, bits(event), text, gepbTextCap(event), useCallerTime, callerTime);
    }
}

void Tel_CallDropDynamicData_LogEntry(const char* text1, const char* text2, const char* text3,
                                      const char* text4, const char* text5, bool useCallerTime,
                                      int callerTime) noexcept {
    RecordBuilder(kTel).u8(0).text(text1, 16).text(text2, 8).text(text3, 30).text(text4, 50)
        .text(text5, 50).send(useCallerTime, callerTime);
}

void Tel_StaticData_LogEntry(const char* text1, const char* text2, const char* text3,
                             const char* text4, const char* text5, bool useCallerTime,
                             int callerTime) noexcept {
    RecordBuilder(kTel).u8(1).text(text1, 18).text(text2, 16).text(text3, 16).text(text4, 16)
        .text(text5, 32).send(useCallerTime, callerTime);
}

void Tel_Exception_LogEntry(const char* info, bool useCallerTime, int callerTime) noexcept {
    if (info != nullptr) {
        sendText(kTel, 2, info, kInfoCap, useCallerTime, callerTime);
    }
}

void WLAN_client_LogEntry(unsigned char value1, unsigned char value2, unsigned char* address,
                          bool useCallerTime, int callerTime) noexcept {
    if (address != nullptr) {
        RecordBuilder(kWlan).u8(0).u8(value1).u8(value2).bytes(address, kWlanAddressBytes)
            .send(useCallerTime, callerTime);
    }
}

void WLAN_joinUPNPServer_LogEntry(char* server, bool useCallerTime, int callerTime) noexcept {
    if (server != nullptr) {
        sendText(kWlan, 1, server, kUpnpServerCap, useCallerTime, callerTime);
    }
}

void WLAN_leaveUPNPServer_LogEntry(char* server, bool useCallerTime, int callerTime) noexcept {
    if (server != nullptr) {
        sendText(kWlan, 2, server, kUpnpServerCap, useCallerTime, callerTime);
    }
}

void WLAN_startBSS_LogEntry(unsigned char* address, bool useCallerTime, int callerTime) noexcept {
    sendWlanAddress(3, address, useCallerTime, callerTime);
}

void WLAN_stopBSS_LogEntry(unsigned char* address, bool useCallerTime, int callerTime) noexcept {
    sendWlanAddress(4, address, useCallerTime, callerTime);
}

void WLAN_requestConnect_LogEntry(bool useCallerTime, int callerTime) noexcept {
    sendSubId(kWlan, 5, useCallerTime, callerTime);
}

void WLAN_errorOccured_LogEntry(unsigned short error, bool useCallerTime, int callerTime) noexcept {
    RecordBuilder(kWlan).u8(6).u16le(error).send(useCallerTime, callerTime);
}

void WLAN_SetProfile_LogEntry(char* name, unsigned char value1, eWlanOpMode opMode,
                              unsigned char value2, eWlanAuth auth, eWlanEnc enc,
                              unsigned char value3, char* texts, bool useCallerTime,
                              int callerTime) noexcept {
    if (name == nullptr || texts == nullptr) {
        return;
    }
    RecordBuilder record(kWlanProfile);
    record.text(name, 33).u8(value1).u8(bits(opMode)).u8(value2).u8(bits(auth)).u8(bits(enc))
        .u8(value3);
    // The four texts lie back to back; the next one starts behind the real terminator of the
    // previous one, however much of it the cap kept.
    const char* source = texts;
    for (int i = 0; i < 4; ++i) {
        record.text(source, 65);
        source += std::strlen(source) + 1;
    }
    record.send(useCallerTime, callerTime);
}

void PSD_MsgErrorHDU_LogEntry(PSDSelector selector, unsigned char value, const unsigned char* bytes,
                              int count, bool useCallerTime, int callerTime) noexcept {
    if (bytes == nullptr) {
        return;
    }
    const int kept = count < 0 ? 0 : (count < kPsdMaxBytes ? count : kPsdMaxBytes);
    RecordBuilder(kPSD).u8(bits(selector)).u8(value).bytes(bytes, kept)
        .send(useCallerTime, callerTime);
}

void PSD_PSD01_XmitErrorHDU_LogEntry(unsigned char value, const unsigned char* bytes, int count,
                                     bool useCallerTime, int callerTime) noexcept {
    PSD_MsgErrorHDU_LogEntry(PSDS_PSD01_XmitError, value, bytes, count, useCallerTime, callerTime);
}

void PSD_PSD02_XmitErrorHDU_LogEntry(unsigned char value, const unsigned char* bytes, int count,
                                     bool useCallerTime, int callerTime) noexcept {
    PSD_MsgErrorHDU_LogEntry(PSDS_PSD02_XmitError, value, bytes, count, useCallerTime, callerTime);
}

void PSD_PSD01_ErrorMsgHDU_LogEntry(unsigned char value, const unsigned char* bytes, int count,
                                    bool useCallerTime, int callerTime) noexcept {
    PSD_MsgErrorHDU_LogEntry(PSDS_PSD01_ErrorMsg, value, bytes, count, useCallerTime, callerTime);
}

void PSD_PSD02_ErrorMsgHDU_LogEntry(unsigned char value, const unsigned char* bytes, int count,
                                    bool useCallerTime, int callerTime) noexcept {
    PSD_MsgErrorHDU_LogEntry(PSDS_PSD02_ErrorMsg, value, bytes, count, useCallerTime, callerTime);
}

void PSD_GatewayMissingHDU_LogEntry(bool useCallerTime, int callerTime) noexcept {
    sendSubId(kPSD, 4, useCallerTime, callerTime);
}

void MostNavGuide_FramedropsHDU_LogEntry(EFrameDropReason reason, unsigned int drops,
                                         bool useCallerTime, int callerTime) noexcept {
    RecordBuilder(kMostNavGuide).u8(0).u8(bits(reason)).gap(2).u32le(drops)
        .send(useCallerTime, callerTime);
}

void MostNavGuide_ErrorMsgHDU_LogEntry(const char* message, bool useCallerTime,
                                       int callerTime) noexcept {
    sendText(kMostNavGuide, 1, message, 64, useCallerTime, callerTime);
}

void MostNavGuide_ComBreakdownHDU_LogEntry(bool useCallerTime, int callerTime) noexcept {
    sendSubId(kMostNavGuide, 2, useCallerTime, callerTime);
}

void MostNavGuide_SyncRequestHDU_LogEntry(ESyncRequestResult result, bool useCallerTime,
                                          int callerTime) noexcept {
    RecordBuilder(kMostNavGuide).u8(3).u8(bits(result)).send(useCallerTime, callerTime);
}

}  // namespace GXob
