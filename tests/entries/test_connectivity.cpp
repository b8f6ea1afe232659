// The connectivity entries as the recorder receives them. Each case calls one entry with a fixed
// caller time, then a marker entry, and compares everything that arrived up to the marker: the
// entry's whole record (header, timestamp, payload), or nothing at all for an absent pointer.
// Texts are longer than their caps where a cap is involved, so a wrong cap shows.
#include <xob/GXob.h>

#include "SharedDeviceTest.h"

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <ostream>
#include <string>
#include <utility>

using xobtest::Bytes;
using xobtest::operator+;
using xobtest::textField;

namespace {

using namespace GXob;

constexpr int kTime = 0x123456;

struct EntryCase {
    const char* name;
    std::function<void()> call;  // one entry call with (true, kTime)
    bool sends;
    std::uint16_t functionId;
    Bytes payload;
};

void PrintTo(const EntryCase& c, std::ostream* os) { *os << c.name; }

EntryCase sends(const char* name, std::function<void()> call, std::uint16_t id, Bytes payload) {
    return EntryCase{name, std::move(call), true, id, std::move(payload)};
}

EntryCase silent(const char* name, std::function<void()> call) {
    return EntryCase{name, std::move(call), false, 0, {}};
}

// A writable text of `count` copies of `c`, alive until the end of the calling expression.
std::string repeat(int count, char c) { return std::string(static_cast<std::size_t>(count), c); }
char* chars(std::string&& text) { return &text[0]; }

// `count` characters and the terminator, as a text cut to count + 1 bytes is recorded.
Bytes kept(int count, char c) { return Bytes(static_cast<std::size_t>(count), c) + Bytes{0}; }

// Texts stored back to back, each behind the previous one's terminator.
std::string backToBack(std::initializer_list<std::string> texts) {
    std::string joined;
    for (const std::string& text : texts) {
        joined += text + '\0';
    }
    return joined;
}

EntryCase gepb(const char* name, int event, int length, Bytes payload) {
    return sends(name, [=] { GEPB_LogEntry(GEPBEvent(event), chars(repeat(length, 'g')), true, kTime); },
                 0x413, std::move(payload));
}

class ConnectivityEntry : public xobtest::SharedDeviceTest<EntryCase> {};

TEST_P(ConnectivityEntry, SendsExactlyItsRecord) {
    // A fresh marker time per case, so that a stray record of one case cannot pass for another's.
    static int s_marker = 0xAB0000;
    const int markerTime = ++s_marker;
    const EntryCase& c = GetParam();
    const Bytes marker = xobtest::logEntry(0x429, markerTime, {4});
    std::string expected;
    if (c.sends) {
        expected = xobtest::hex(xobtest::logEntry(c.functionId, kTime, c.payload)) + "| ";
    }
    expected += xobtest::hex(marker) + "| ";

    c.call();
    PSD_GatewayMissingHDU_LogEntry(true, markerTime);

    std::string received;
    Bytes record;
    while (s_device->next(record)) {
        received += xobtest::hex(record) + "| ";
        if (record == marker) {
            break;
        }
    }
    EXPECT_EQ(received, expected);
}

std::string caseName(const testing::TestParamInfo<EntryCase>& info) { return info.param.name; }

unsigned char macAddress[6] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0xFE};
const Bytes kAddressBytes(macAddress, macAddress + 6);
const unsigned char kPsd[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};

INSTANTIATE_TEST_SUITE_P(
    ConnectivityTelephoneBluetooth, ConnectivityEntry,
    testing::Values(
        sends("TelFixBoot", [] { TelFix_Boot_LogEntry(true, kTime); }, 0x410, {0}),
        sends("TelFixCallDropped",
              [] { TelFix_CallDropped_LogEntry(chars(repeat(200, 'c')), true, kTime); }, 0x410,
              Bytes{1} + kept(127, 'c')),
        sends("BTFixGenericLowByte", [] { BTFix_Generic_Logging(BTFixSelector(0x305), true, kTime); },
              0x411, {5}),
        sends("BTFixBoot", [] { BTFix_Boot_LogEntry(true, kTime); }, 0x411, {0}),
        sends("BTFixLinkLoss", [] { BTFix_LinkLossBTHS_LogEntry(true, kTime); }, 0x411, {1}),
        sends("BTFixSAP1", [] { BTFix_SAPConnectionToBTHS1_LogEntry(true, kTime); }, 0x411, {2}),
        sends("BTFixSAP2", [] { BTFix_SAPConnectionToBTHS2_LogEntry(true, kTime); }, 0x411, {3}),
        sends("BTFixParrotVersionAbsent", [] { BTFix_ParrotVersion_LogEntry(nullptr, true, kTime); },
              0x411, {4, 0}),
        sends("BTFixMarvellVersionCut",
              [] { BTFix_MarvellVersion_LogEntry(chars(repeat(100, 'm')), true, kTime); }, 0x411,
              Bytes{5} + kept(80, 'm')),
        sends("BTLogConnectionDrop",
              [] { BTLog_ConnectionDrop_LogEntry("phone", "lost", 0x01020304u, 258u, true, kTime); },
              0x412, Bytes{0, 4, 3, 2, 1, 2, 1, 0, 0} + textField("phone") + textField("lost")),
        sends("BTLogConnectionDropCut",
              [] {
                  BTLog_ConnectionDrop_LogEntry(chars(repeat(60, 'd')), chars(repeat(200, 'r')), 0u,
                                                0xFFFFFFFFu, true, kTime);
              },
              0x412, Bytes{0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF} + kept(49, 'd') + kept(127, 'r')),
        sends("BTLogException", [] { BTLog_Exception_LogEntry(258u, true, kTime); }, 0x412,
              {1, 2, 1, 0, 0}),
        sends("TelCallDropDynamicData",
              [] {
                  Tel_CallDropDynamicData_LogEntry(chars(repeat(20, 'a')), chars(repeat(10, 'b')),
                                                   chars(repeat(40, 'c')), chars(repeat(55, 'd')),
                                                   chars(repeat(60, 'e')), true, kTime);
              },
              0x414,
              Bytes{0} + kept(15, 'a') + kept(7, 'b') + kept(29, 'c') + kept(49, 'd') + kept(49, 'e')),
        sends("TelStaticDataAllAbsent",
              [] { Tel_StaticData_LogEntry(nullptr, nullptr, nullptr, nullptr, nullptr, true, kTime); },
              0x414, {1, 0, 0, 0, 0, 0}),
        sends("TelStaticDataCut",
              [] {
                  const std::string t = repeat(40, 't');
                  Tel_StaticData_LogEntry(t.c_str(), t.c_str(), t.c_str(), t.c_str(), t.c_str(), true,
                                          kTime);
              },
              0x414,
              Bytes{1} + kept(17, 't') + kept(15, 't') + kept(15, 't') + kept(15, 't') + kept(31, 't')),
        sends("TelException", [] { Tel_Exception_LogEntry(chars(repeat(300, 'x')), true, kTime); },
              0x414, Bytes{2} + kept(127, 'x'))),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    ConnectivityGepb, ConnectivityEntry,
    testing::Values(gepb("Event0Cut", 0, 50, Bytes{0} + kept(17, 'g')),
                    gepb("Event1Cut", 1, 50, Bytes{1} + kept(35, 'g')),
                    gepb("Event2Cut", 2, 50, Bytes{2} + kept(17, 'g')),
                    gepb("Event3Cut", 3, 50, Bytes{3} + kept(17, 'g')),
                    gepb("Event4OnlyNul", 4, 5, {4, 0}),
                    gepb("NegativeEventOnlyNul", -1, 5, {0xFF, 0}),
                    gepb("HighBitsEventOnlyNul", 0x101, 5, {1, 0})),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    ConnectivityWlan, ConnectivityEntry,
    testing::Values(
        sends("Client", [] { WLAN_client_LogEntry(0x11, 0xEE, macAddress, true, kTime); }, 0x741,
              Bytes{0, 0x11, 0xEE} + kAddressBytes),
        sends("JoinUpnpServer", [] { WLAN_joinUPNPServer_LogEntry(chars("srv"), true, kTime); }, 0x741,
              Bytes{1} + textField("srv")),
        sends("LeaveUpnpServerCut",
              [] { WLAN_leaveUPNPServer_LogEntry(chars(repeat(64, 'l')), true, kTime); }, 0x741,
              Bytes{2} + kept(63, 'l')),
        sends("StartBss", [] { WLAN_startBSS_LogEntry(macAddress, true, kTime); }, 0x741,
              Bytes{3} + kAddressBytes),
        sends("StopBss", [] { WLAN_stopBSS_LogEntry(macAddress, true, kTime); }, 0x741,
              Bytes{4} + kAddressBytes),
        sends("RequestConnect", [] { WLAN_requestConnect_LogEntry(true, kTime); }, 0x741, {5}),
        sends("ErrorOccured", [] { WLAN_errorOccured_LogEntry(258, true, kTime); }, 0x741, {6, 2, 1}),
        sends("Profile",
              [] {
                  std::string texts = backToBack({"k1", "k22", "", "k4444"});
                  WLAN_SetProfile_LogEntry(chars("home"), 0x11, eWlanOpMode(0x1202), 0x22,
                                           WLAN_AUTH_WPA2, eWlanEnc(-1), 0x33, &texts[0], true, kTime);
              },
              0x740,
              textField("home") + Bytes{0x11, 0x02, 0x22, 0x03, 0xFF, 0x33} + textField("k1") +
                  textField("k22") + Bytes{0} + textField("k4444")),
        sends("ProfileAllEmpty",
              [] {
                  std::string texts = backToBack({"", "", "", ""});
                  WLAN_SetProfile_LogEntry(chars(""), 1, WLAN_OPM_AdHoc, 2, WLAN_AUTH_Open, WLAN_ENC_AES,
                                           3, &texts[0], true, kTime);
              },
              0x740, {0, 1, 1, 2, 0, 3, 3, 0, 0, 0, 0}),
        sends("ProfileReadsBehindRealTerminators",
              [] {
                  std::string texts = backToBack({repeat(70, 'a'), "bcd", repeat(65, 'e'), "f"});
                  WLAN_SetProfile_LogEntry(chars(repeat(40, 's')), 0, WLAN_OPM_Infrastructure, 0,
                                           WLAN_AUTH_Open, WLAN_ENC_None, 0, &texts[0], true, kTime);
              },
              0x740,
              kept(32, 's') + Bytes(6, 0) + kept(64, 'a') + textField("bcd") + kept(64, 'e') +
                  textField("f"))),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    ConnectivityPsdMost, ConnectivityEntry,
    testing::Values(
        sends("MsgErrorSelectorLowByte",
              [] { PSD_MsgErrorHDU_LogEntry(PSDSelector(0x1FF), 0x55, kPsd, 3, true, kTime); }, 0x429,
              {0xFF, 0x55, 1, 2, 3}),
        sends("MsgErrorNegativeCount",
              [] { PSD_MsgErrorHDU_LogEntry(PSDS_PSD01_XmitError, 7, kPsd, -1, true, kTime); }, 0x429,
              {0, 7}),
        sends("PSD01Xmit", [] { PSD_PSD01_XmitErrorHDU_LogEntry(0xA0, kPsd, 2, true, kTime); }, 0x429,
              {0, 0xA0, 1, 2}),
        sends("PSD02XmitCountEight", [] { PSD_PSD02_XmitErrorHDU_LogEntry(0xA1, kPsd, 8, true, kTime); },
              0x429, {1, 0xA1, 1, 2, 3, 4, 5, 6, 7, 8}),
        sends("PSD01ErrorMsg", [] { PSD_PSD01_ErrorMsgHDU_LogEntry(0xA2, kPsd, 1, true, kTime); }, 0x429,
              {2, 0xA2, 1}),
        sends("PSD02ErrorMsgCapped", [] { PSD_PSD02_ErrorMsgHDU_LogEntry(0xA3, kPsd, 12, true, kTime); },
              0x429, {3, 0xA3, 1, 2, 3, 4, 5, 6, 7, 8}),
        sends("PSD02ErrorMsgNone", [] { PSD_PSD02_ErrorMsgHDU_LogEntry(0xA3, kPsd, 0, true, kTime); },
              0x429, {3, 0xA3}),
        sends("Framedrops",
              [] {
                  MostNavGuide_FramedropsHDU_LogEntry(EFrameDropReason(0x102), 0x01020304u, true, kTime);
              },
              0x428, {0, 2, 0, 0, 4, 3, 2, 1}),
        sends("ErrorMsgAbsent", [] { MostNavGuide_ErrorMsgHDU_LogEntry(nullptr, true, kTime); }, 0x428,
              {1, 0}),
        sends("ErrorMsgCut",
              [] { MostNavGuide_ErrorMsgHDU_LogEntry(chars(repeat(80, 'q')), true, kTime); }, 0x428,
              Bytes{1} + kept(63, 'q')),
        sends("ComBreakdown", [] { MostNavGuide_ComBreakdownHDU_LogEntry(true, kTime); }, 0x428, {2}),
        sends("SyncRequest",
              [] { MostNavGuide_SyncRequestHDU_LogEntry(ESyncRequestResult(-2), true, kTime); }, 0x428,
              {3, 0xFE})),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    ConnectivityAbsentPointer, ConnectivityEntry,
    testing::Values(
        silent("TelFixCallDropped", [] { TelFix_CallDropped_LogEntry(nullptr, true, kTime); }),
        silent("TelException", [] { Tel_Exception_LogEntry(nullptr, true, kTime); }),
        silent("BTLogFirstText", [] { BTLog_ConnectionDrop_LogEntry(nullptr, "r", 1, 2, true, kTime); }),
        silent("BTLogSecondText", [] { BTLog_ConnectionDrop_LogEntry("d", nullptr, 1, 2, true, kTime); }),
        silent("Gepb", [] { GEPB_LogEntry(GEPB_Event1, nullptr, true, kTime); }),
        silent("WlanClient", [] { WLAN_client_LogEntry(1, 2, nullptr, true, kTime); }),
        silent("WlanJoin", [] { WLAN_joinUPNPServer_LogEntry(nullptr, true, kTime); }),
        silent("WlanLeave", [] { WLAN_leaveUPNPServer_LogEntry(nullptr, true, kTime); }),
        silent("WlanStartBss", [] { WLAN_startBSS_LogEntry(nullptr, true, kTime); }),
        silent("WlanStopBss", [] { WLAN_stopBSS_LogEntry(nullptr, true, kTime); }),
        silent("WlanProfileName",
               [] {
                   std::string texts = backToBack({"a", "b", "c", "d"});
                   WLAN_SetProfile_LogEntry(nullptr, 0, WLAN_OPM_AdHoc, 0, WLAN_AUTH_Open,
                                            WLAN_ENC_None, 0, &texts[0], true, kTime);
               }),
        silent("WlanProfileTexts",
               [] {
                   WLAN_SetProfile_LogEntry(chars("home"), 0, WLAN_OPM_AdHoc, 0, WLAN_AUTH_Open,
                                            WLAN_ENC_None, 0, nullptr, true, kTime);
               }),
        silent("PsdMsgError",
               [] { PSD_MsgErrorHDU_LogEntry(PSDS_PSD01_XmitError, 1, nullptr, 4, true, kTime); }),
        silent("PSD01Xmit", [] { PSD_PSD01_XmitErrorHDU_LogEntry(1, nullptr, 4, true, kTime); }),
        silent("PSD02Xmit", [] { PSD_PSD02_XmitErrorHDU_LogEntry(1, nullptr, 4, true, kTime); }),
        silent("PSD01ErrorMsg", [] { PSD_PSD01_ErrorMsgHDU_LogEntry(1, nullptr, 4, true, kTime); }),
        silent("PSD02ErrorMsg", [] { PSD_PSD02_ErrorMsgHDU_LogEntry(1, nullptr, 4, true, kTime); })),
    caseName);

}  // namespace
