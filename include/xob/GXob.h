// libxob, plain layer: the command record sent to the recorder device, the packing functions that
// lay out its payload, the queue transport and the recorder control functions, and (through the
// headers included at the end) one function per kind of log entry.
//
// Every multi-byte value of a record is little-endian on the wire, whatever the host; values are
// stored byte by byte, so a record may be built at any offset without alignment concerns.
//
// Texts are recorded as their bytes, up to the NUL and cut to the field's cap (the cap counts the
// NUL); nothing is converted. The recorder reads them as Latin-1 (ISO 8859-1), and so does
// xob-decode: convert before calling. "München" passed as UTF-8 arrives as the bytes
// 4D C3 BC 6E ... and decodes as "MÃ¼nchen"; passed as Latin-1 (4D FC 6E ...) it decodes as itself.
// Every text and byte block is only read, during the call. A few entries declare a text as
// `char*` (SYSHDU_LogEntry, DiagnosisHDU_LogEntry, GEPB_LogEntry, the WLAN server and profile
// entries); they do not write to it either, and keep `char*` because callers pass null there.
// From a literal or a std::string:
//
//     std::string reason = "watchdog reset";
//     GXob::SYSHDU_LogEntry(const_cast<char*>("power"), &reason[0], false, 0);
#ifndef XOB_GXOB_H
#define XOB_GXOB_H

#include <xob/Export.h>

#include <cstddef>
#include <cstdint>
#include <type_traits>

// The command record. Only the first ui16Length + 2 bytes are ever copied or sent: an 8-byte
// header, then (log entries only) a 24-bit timestamp and up to 2044 payload bytes.
struct SClientToDevXob {
    std::uint16_t ui16Length;     // record bytes after this field: total size - 2
    std::uint16_t ui16Reserved;   // always 0
    std::uint8_t ui8Command;      // EDevXobCommands, one byte
    std::uint8_t ui8Spare;        // not assigned; sent as 0
    std::uint16_t functionId;     // entry kind (log entries), 0x503 (init files), or the argument
    std::uint32_t ui32TimeStamp;  // log entries: hundredths of a second, modulo 2^24
    std::uint32_t ui32Data[511];  // log entries: the payload
};

static_assert(sizeof(SClientToDevXob) == 2056, "SClientToDevXob is 2056 bytes");
static_assert(offsetof(SClientToDevXob, ui16Length) == 0, "ui16Length at byte 0");
static_assert(offsetof(SClientToDevXob, ui16Reserved) == 2, "ui16Reserved at byte 2");
static_assert(offsetof(SClientToDevXob, ui8Command) == 4, "ui8Command at byte 4");
static_assert(offsetof(SClientToDevXob, ui8Spare) == 5, "ui8Spare at byte 5");
static_assert(offsetof(SClientToDevXob, functionId) == 6, "functionId at byte 6");
static_assert(offsetof(SClientToDevXob, ui32TimeStamp) == 8, "ui32TimeStamp at byte 8");
static_assert(offsetof(SClientToDevXob, ui32Data) == 12, "payload at byte 12");

// Command codes, stored in the record as one byte.
enum EDevXobCommands : int {
    EDevXob_InitFiles = 4,         // to the device through the queue: initialise recorder log files
    EDevXob_LogEntry = 8,          // to the device through the queue: one log entry
    EDevXob_FlushFilesReady = 10,  // from the device: reply to a flush
    EDevXob_SetActivFlag = 12,     // to the device directly: set or clear the active flag
    EDevXob_StopFlush = 13         // to the device directly: stop and flush
};

// The ring of records waiting for the writer thread: 120 slots, each owning an exact-size heap
// copy of one record. It has no lock of its own; the transport serialises every call.
class XOB_EXPORT SClientToDevXobQueue {
public:
    static constexpr unsigned kSlots = 120;

    SClientToDevXobQueue() noexcept;
    virtual ~SClientToDevXobQueue();
    SClientToDevXobQueue(const SClientToDevXobQueue&) = delete;
    SClientToDevXobQueue& operator=(const SClientToDevXobQueue&) = delete;

    // Appends a copy of the record's ui16Length + 2 bytes. 1 taken, 0 refused (null record, ring
    // full, or no memory for the copy; the last also prints "Buffer couldn't be created!").
    int writeElement(SClientToDevXob* record) noexcept;
    // Size and buffer of the oldest record; 0 and null when the ring is empty.
    std::uint32_t getElementSize() const noexcept;
    std::uint8_t* getElementBuffer() const noexcept;
    // Removes the oldest record and frees its copy. 1 removed, 0 nothing to remove.
    int deleteElement() noexcept;
    bool isEmpty() const noexcept;
    bool isFull() const noexcept;

private:
    struct Slot {
        std::uint32_t size;
        std::uint8_t* buffer;
    };
    Slot m_slots[kSlots];
    std::uint8_t m_readIndex;
    std::uint8_t m_writeIndex;
};

namespace GXob {

namespace detail {

inline std::uint8_t* payloadBytes(SClientToDevXob* record) noexcept {
    return reinterpret_cast<std::uint8_t*>(record->ui32Data);
}

constexpr int kPayloadCapacity = static_cast<int>(sizeof(SClientToDevXob::ui32Data));

// True when `width` bytes at payload offset `offset` lie within the payload.
constexpr bool fitsPayload(int offset, int width) noexcept {
    return offset >= 0 && width >= 0 && offset <= kPayloadCapacity - width;
}

template <typename U>
inline void storeLittleEndian(std::uint8_t* out, U value, std::size_t width) noexcept {
    for (std::size_t i = 0; i < width; ++i) {
        out[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

}  // namespace detail

// Current timestamp: hundredths of a second of the monotonic clock, modulo 2^24 (0 if the clock
// cannot be read).
XOB_EXPORT std::uint32_t getApiHundredthSecond() noexcept;

// Packs one fixed-size value at payload offset `offset`, little-endian, and returns the bytes
// written (0 for a null record, or for an offset that leaves no room for the value in the payload:
// nothing is written then). Integers, bool and enumerations take their own size (an enumeration its
// full underlying width); a pointer takes 4 bytes, its low 32 bits.
template <typename T>
inline int writeDataToCommand(T& value, SClientToDevXob* record, int offset) noexcept {
    using V = typename std::remove_cv<T>::type;
    constexpr int kWidth = std::is_pointer<V>::value ? 4 : static_cast<int>(sizeof(V));
    if (record == nullptr || !detail::fitsPayload(offset, kWidth)) {
        return 0;
    }
    std::uint8_t* out = detail::payloadBytes(record) + offset;
    if constexpr (std::is_pointer<V>::value) {
        const auto bits = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(value));
        detail::storeLittleEndian(out, bits, 4);
        return 4;
    } else {
        static_assert(std::is_integral<V>::value || std::is_enum<V>::value,
                      "writeDataToCommand packs integers, enumerations and pointers");
        using Raw = typename std::conditional<std::is_enum<V>::value, std::underlying_type<V>,
                                              std::common_type<V>>::type::type;
        using Bits = typename std::make_unsigned<
            typename std::conditional<std::is_same<Raw, bool>::value, unsigned char, Raw>::type>::type;
        detail::storeLittleEndian(out, static_cast<Bits>(value), sizeof(V));
        return static_cast<int>(sizeof(V));
    }
}

// Packs a C string at payload offset `offset` like strncpy with limit `cap` (a null text is the
// empty string) and returns the bytes it occupies with its terminator: length + 1, or `cap` when
// the text had to be cut to cap - 1 characters. 0 for a null record, and 0 with nothing written for
// an offset or cap that would reach past the payload.
XOB_EXPORT int writeStringToCommand(const char* text, SClientToDevXob* record, int offset,
                                    int cap) noexcept;

// Completes the record's header (length, command, and for log entries the timestamp), copies it
// into the queue and makes sure a writer thread runs. Never waits for the device; a record that
// cannot be queued is reported in the system log.
XOB_EXPORT void writeToXob(SClientToDevXob* record, int payloadLength, bool useCallerTime,
                           int callerTime, EDevXobCommands command) noexcept;

// Start routine of the detached writer thread; delivers queued records until the ring is empty.
XOB_EXPORT void* writeToXobFunction(void* unused) noexcept;

// Queues a command-4 record asking the recorder to initialise the log files of `functionId`.
XOB_EXPORT void Init_Files(std::uint16_t functionId) noexcept;
// Init_Files for the navigation route-guidance (0x418), map-information (0x426) and settings
// (0x420) entries, in this order.
XOB_EXPORT void Init_NavLogfiles() noexcept;

// Direct control commands, written by the calling thread on a descriptor of its own.
// Set or clear the recorder's active flag: 0 done, -1 device not opened or write short.
XOB_EXPORT int writeSetXobActivFlag(bool active) noexcept;
// Stop and flush: 0 written or device not opened, 1 write short.
XOB_EXPORT int doStop_Flush() noexcept;
// Waits up to 10 s for the flush reply on `descriptor` and closes it: 0 ready, -1 bad descriptor,
// -2 wait failed, -3 timed out, -4 not the ready reply, -5 reply shorter than 8 bytes.
XOB_EXPORT int writeFlush_Files_Ready(int descriptor) noexcept;
// Not supported by this recorder path: prints a notice and returns -2.
XOB_EXPORT int writeFlush_Files() noexcept;
// True while a writer thread is running or about to run.
XOB_EXPORT bool getXOBThreadActive() noexcept;

}  // namespace GXob

#include <xob/GXobNavigation.h>
#include <xob/GXobMedia.h>
#include <xob/GXobConnectivity.h>

#endif
