#include "filters/dv_header.h"

#include <cmath>

#include "media/dvcodes.h"

namespace velinor {

namespace {

// DIF block ID: bytes 0-2 of every 80-byte block (section type, sequence number, block number).
// The restored areas keep the frame's own IDs, so a 625/50 frame fed from a 525/60 source still
// numbers its sequences 10 and 11 correctly.
constexpr size_t kBlockIdBytes = 3;
constexpr int kHeaderAreaBlocks = 6;  // header, 2 subcode, 3 VAUX
constexpr int kFirstVauxBlock = 3;
constexpr int kVauxPacksPerBlock = 15;  // pack k at byte 3 + 5 k of the block
constexpr uint8_t kPackVauxSource = 0x60;
// VAUX source pack PC3: bit 5 the field system (1 = 50 fields), bits 0-4 STYPE (0 = 25 Mbit/s).
constexpr uint8_t kVauxSource50Fields = 0x20;
constexpr uint8_t kVauxSourceSystemMask = 0x3F;
// Header block byte 3: DSF in bit 7 with the reserved bits set.
constexpr uint8_t kHeaderSystem525 = 0x3F;
constexpr uint8_t kHeaderSystem625 = 0xBF;

constexpr double kFrameStep525 = 1001.0 / (30'000.0 * kSecondsPerDay);
constexpr double kFrameStep625 = 1.0 / (25.0 * kSecondsPerDay);

std::optional<DatecodeFields> FieldsOf(Datecode value) {
    // Years 1 to 9999; anything else cannot be broken down into fields.
    constexpr double kFirstDay = -693'593.0, kLastDay = 2'958'466.0;
    if (!std::isfinite(value) || value < kFirstDay || value >= kLastDay) return std::nullopt;
    // Rounded to the millisecond, then the milliseconds are dropped.
    const DatecodeParts parts = DecodeDatecode(value);
    if (parts.Year < 1 || parts.Year > 9999) return std::nullopt;
    DatecodeFields fields;
    fields.Year = parts.Year;
    fields.Month = static_cast<uint8_t>(parts.Month);
    fields.Day = static_cast<uint8_t>(parts.Day);
    fields.Hour = static_cast<uint8_t>(parts.Hour);
    fields.Minute = static_cast<uint8_t>(parts.Minute);
    fields.Second = static_cast<uint8_t>(parts.Second);
    if (!MakeDatecode(fields)) return std::nullopt;
    return fields;
}

}  // namespace

bool Tdv_DVheader::Transform(std::span<uint8_t> frame) {
    const int n = DifSequenceCount(frame.size());
    if (n == 0) return false;
    const bool is525 = n == 10;
    if (RestoreHeaders) {
        const auto& store = Detector.HeaderStore;
        // Only areas saved from this run's latest source frame: entries of an earlier run or of
        // another frame would put stale dates into the output.
        const int64_t stamp = store[0].Stamp;
        for (int s = 0; s < n && stamp >= 0; ++s) {
            const auto& entry = store[static_cast<size_t>(s < 10 ? s : 0)];
            if (entry.Stamp != stamp) continue;
            uint8_t* sequence = frame.data() + static_cast<size_t>(s) * kDifSequenceBytes;
            for (int b = 0; b < kHeaderAreaBlocks; ++b) {
                const size_t at = static_cast<size_t>(b) * kDifBlockBytes;
                std::copy(entry.Bytes.begin() + static_cast<ptrdiff_t>(at + kBlockIdBytes),
                          entry.Bytes.begin() + static_cast<ptrdiff_t>(at + kDifBlockBytes),
                          sequence + at + kBlockIdBytes);
            }
            sequence[3] = is525 ? kHeaderSystem525 : kHeaderSystem625;
            for (int b = kFirstVauxBlock; b < kHeaderAreaBlocks; ++b) {
                for (int k = 0; k < kVauxPacksPerBlock; ++k) {
                    uint8_t* pack =
                        sequence + static_cast<size_t>(b) * kDifBlockBytes + 3 + 5 * static_cast<size_t>(k);
                    if (pack[0] != kPackVauxSource) continue;
                    pack[3] = static_cast<uint8_t>((pack[3] & ~kVauxSourceSystemMask) |
                                                   (is525 ? 0 : kVauxSource50Fields));
                }
            }
        }
    }
    if (Shift != 0) {
        if (const auto read = ReadDatecode(frame, n)) {
            if (const auto value = MakeDatecode(*read)) {
                if (const auto fields = FieldsOf(*value + Shift)) WriteDatecode(frame, n, *fields);
            }
        }
    }
    if (SetAspect) WriteDisplayMode(frame, n, Wide);
    if (InsertDatecode) {
        if (const auto fields = FieldsOf(InsertValue)) WriteDatecode(frame, n, *fields);
        InsertValue += is525 ? kFrameStep525 : kFrameStep625;
    }
    return true;
}

}  // namespace velinor
