// Telephone, Bluetooth, GEPB, WLAN, PSD and MOST navigation-guide entries. Each family has its own
// function identifier and puts a sub-identifier in payload byte 0; each function writes its fields
// in the order of its statement in entries/EntryKinds.def. Entries whose statement names required
// pointers return before building anything when one of them is null.
#include <xob/GXob.h>

#include "entries/Entry.h"

#include <cstdint>
#include <cstring>

namespace {

using xob::Entry;
using xob::present;
using xob::layout::Kind;
namespace kind = xob::kind;

// Enumerations arrive as full 32-bit values; u8() keeps their low byte.
std::uint32_t bits(int value) noexcept { return static_cast<std::uint32_t>(value); }

template <const Kind& K>
void sendSubId(bool useCallerTime, int callerTime) noexcept {
    Entry<K>().send(useCallerTime, callerTime);
}

template <const Kind& K>
void sendText(const char* text, bool useCallerTime, int callerTime) noexcept {
    Entry<K>().text(text).send(useCallerTime, callerTime);
}

template <const Kind& K>
void sendRequiredText(const char* text, bool useCallerTime, int callerTime) noexcept {
    if (const auto given = present<K>(text)) {
        given.entry().text(text).send(useCallerTime, callerTime);
    }
}

template <const Kind& K>
void sendWlanAddress(const unsigned char* address, bool useCallerTime, int callerTime) noexcept {
    if (const auto given = present<K>(address)) {
        given.entry().bytes(address).send(useCallerTime, callerTime);
    }
}

// Only events 0 to 3 carry a text, each with the cap of its statement; any other value keeps just
// the terminator.
int gepbTextCap(GXob::GEPBEvent event) noexcept {
    for (const Kind* gepb : {&kind::GEPB_Event0, &kind::GEPB_Event1, &kind::GEPB_Event2, &kind::GEPB_Event3}) {
        if (gepb->key.value == static_cast<std::uint32_t>(event)) {
            return gepb->payload->fields[0].size;
        }
    }
    return kind::GEPB_OtherEvent.payload->fields[0].size;
}

// The next of several texts stored back to back: the current one, the read position moved behind
// its real terminator however much of it the cap keeps.
const char* nextText(const char*& source) noexcept {
    const char* const text = source;
    source += std::strlen(source) + 1;
    return text;
}

}  // namespace

namespace GXob {

void TelFix_Boot_LogEntry(bool useCallerTime, int callerTime) noexcept {
    sendSubId<kind::TelFix_Boot_LogEntry>(useCallerTime, callerTime);
}

void TelFix_CallDropped_LogEntry(const char* info, bool useCallerTime, int callerTime) noexcept {
    sendRequiredText<kind::TelFix_CallDropped_LogEntry>(info, useCallerTime, callerTime);
}

void BTFix_Generic_Logging(BTFixSelector selector, bool useCallerTime, int callerTime) noexcept {
    Entry<kind::BTFix_Generic_Logging>(bits(selector)).send(useCallerTime, callerTime);
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
    sendText<kind::BTFix_ParrotVersion_LogEntry>(version, useCallerTime, callerTime);
}

void BTFix_MarvellVersion_LogEntry(const char* version, bool useCallerTime,
                                   int callerTime) noexcept {
    sendText<kind::BTFix_MarvellVersion_LogEntry>(version, useCallerTime, callerTime);
}

void BTLog_ConnectionDrop_LogEntry(const char* device, const char* reason, unsigned int value1,
                                   unsigned int value2, bool useCallerTime,
                                   int callerTime) noexcept {
    if (const auto given = present<kind::BTLog_ConnectionDrop_LogEntry>(device, reason)) {
        given.entry().u32(value1).u32(value2).text(device).text(reason).send(useCallerTime, callerTime);
    }
}

void BTLog_Exception_LogEntry(unsigned int code, bool useCallerTime, int callerTime) noexcept {
    Entry<kind::BTLog_Exception_LogEntry>().u32(code).send(useCallerTime, callerTime);
}

void GEPB_LogEntry(GEPBEvent event, char* text, bool useCallerTime, int callerTime) noexcept {
    // The event is the sub-identifier, and its statement gives the text's cap.
    if (const auto given = present<kind::GEPB_OtherEvent>(text)) {
        xob::RecordBuilder(kind::GEPB_OtherEvent.functionId).u8(bits(event)).text(text, gepbTextCap(event))
            .send(useCallerTime, callerTime);
    }
}

void Tel_CallDropDynamicData_LogEntry(const char* text1, const char* text2, const char* text3,
                                      const char* text4, const char* text5, bool useCallerTime,
                                      int callerTime) noexcept {
    Entry<kind::Tel_CallDropDynamicData_LogEntry>().text(text1).text(text2).text(text3).text(text4).text(text5)
        .send(useCallerTime, callerTime);
}

void Tel_StaticData_LogEntry(const char* text1, const char* text2, const char* text3,
                             const char* text4, const char* text5, bool useCallerTime,
                             int callerTime) noexcept {
    Entry<kind::Tel_StaticData_LogEntry>().text(text1).text(text2).text(text3).text(text4).text(text5)
        .send(useCallerTime, callerTime);
}

void Tel_Exception_LogEntry(const char* info, bool useCallerTime, int callerTime) noexcept {
    sendRequiredText<kind::Tel_Exception_LogEntry>(info, useCallerTime, callerTime);
}

void WLAN_client_LogEntry(unsigned char value1, unsigned char value2, unsigned char* address,
                          bool useCallerTime, int callerTime) noexcept {
    if (const auto given = present<kind::WLAN_client_LogEntry>(address)) {
        given.entry().u8(value1).u8(value2).bytes(address).send(useCallerTime, callerTime);
    }
}

void WLAN_joinUPNPServer_LogEntry(char* server, bool useCallerTime, int callerTime) noexcept {
    sendRequiredText<kind::WLAN_joinUPNPServer_LogEntry>(server, useCallerTime, callerTime);
}

void WLAN_leaveUPNPServer_LogEntry(char* server, bool useCallerTime, int callerTime) noexcept {
    sendRequiredText<kind::WLAN_leaveUPNPServer_LogEntry>(server, useCallerTime, callerTime);
}

void WLAN_startBSS_LogEntry(unsigned char* address, bool useCallerTime, int callerTime) noexcept {
    sendWlanAddress<kind::WLAN_startBSS_LogEntry>(address, useCallerTime, callerTime);
}

void WLAN_stopBSS_LogEntry(unsigned char* address, bool useCallerTime, int callerTime) noexcept {
    sendWlanAddress<kind::WLAN_stopBSS_LogEntry>(address, useCallerTime, callerTime);
}

void WLAN_requestConnect_LogEntry(bool useCallerTime, int callerTime) noexcept {
    sendSubId<kind::WLAN_requestConnect_LogEntry>(useCallerTime, callerTime);
}

void WLAN_errorOccured_LogEntry(unsigned short error, bool useCallerTime, int callerTime) noexcept {
    Entry<kind::WLAN_errorOccured_LogEntry>().u16(error).send(useCallerTime, callerTime);
}

void WLAN_SetProfile_LogEntry(char* name, unsigned char value1, eWlanOpMode opMode,
                              unsigned char value2, eWlanAuth auth, eWlanEnc enc,
                              unsigned char value3, char* texts, bool useCallerTime,
                              int callerTime) noexcept {
    const auto given = present<kind::WLAN_SetProfile_LogEntry>(name, texts);
    if (!given) {
        return;
    }
    // The four texts lie back to back. Each nextText() runs after the field before it is written
    // (in a chain of calls, each call's object is evaluated before its arguments).
    const char* source = texts;
    given.entry().text(name).u8(value1).u8(bits(opMode)).u8(value2).u8(bits(auth)).u8(bits(enc)).u8(value3)
        .text(nextText(source)).text(nextText(source)).text(nextText(source)).text(nextText(source))
        .send(useCallerTime, callerTime);
}

void PSD_MsgErrorHDU_LogEntry(PSDSelector selector, unsigned char value, const unsigned char* bytes,
                              int count, bool useCallerTime, int callerTime) noexcept {
    if (const auto given = present<kind::PSD_MsgErrorHDU_LogEntry>(bytes)) {
        given.entry(bits(selector)).u8(value).byteRest(bytes, count).send(useCallerTime, callerTime);
    }
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
    sendSubId<kind::PSD_GatewayMissingHDU_LogEntry>(useCallerTime, callerTime);
}

void MostNavGuide_FramedropsHDU_LogEntry(EFrameDropReason reason, unsigned int drops,
                                         bool useCallerTime, int callerTime) noexcept {
    Entry<kind::MostNavGuide_FramedropsHDU_LogEntry>().u8(bits(reason)).gap().u32(drops)
        .send(useCallerTime, callerTime);
}

void MostNavGuide_ErrorMsgHDU_LogEntry(const char* message, bool useCallerTime,
                                       int callerTime) noexcept {
    sendText<kind::MostNavGuide_ErrorMsgHDU_LogEntry>(message, useCallerTime, callerTime);
}

void MostNavGuide_ComBreakdownHDU_LogEntry(bool useCallerTime, int callerTime) noexcept {
    sendSubId<kind::MostNavGuide_ComBreakdownHDU_LogEntry>(useCallerTime, callerTime);
}

void MostNavGuide_SyncRequestHDU_LogEntry(ESyncRequestResult result, bool useCallerTime,
                                          int callerTime) noexcept {
    Entry<kind::MostNavGuide_SyncRequestHDU_LogEntry>().u8(bits(result)).send(useCallerTime, callerTime);
}

}  // namespace GXob
