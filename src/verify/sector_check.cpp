// Sector checks of ECMA-130: EDC as a table-driven CRC eight bytes a step, the P and Q parity checked by
// their syndromes, eight codewords at a time in 64-bit words (multiplying by alpha in GF(2^8) is a shift and
// a conditional xor of 0x1D per byte).
#include "verify/sector_check.h"

#include "platform/cd/cd_time.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/bytes/byte_order.h"

namespace {

using Table = std::array<uint32_t, 256>;

constexpr std::array<Table, 8> MakeEdcTables() {
    std::array<Table, 8> t{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t edc = i;
        for (int bit = 0; bit < 8; ++bit)
            edc = (edc >> 1) ^ ((edc & 1) ? 0xD8018001u : 0u);
        t[0][i] = edc;
    }
    for (size_t k = 1; k < t.size(); ++k)
        for (uint32_t i = 0; i < 256; ++i)
            t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
    return t;
}
constexpr std::array<Table, 8> kEdc = MakeEdcTables();

using bytes::Le32;

uint64_t Load64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Each byte of `x` times alpha (x^8 + x^4 + x^3 + x^2 + 1).
uint64_t TimesAlpha(uint64_t x) {
    return ((x & 0x7F7F7F7F7F7F7F7Full) << 1) ^ (((x >> 7) & 0x0101010101010101ull) * 0x1D);
}

// The bytes 12..2351 of a sector as the parity covers them: header (zeroed in Mode 2), data, P, then Q.
constexpr size_t kCovered = 2340;
constexpr size_t kPWidth = 86, kPRows = 26;   // 24 rows of data and two of P parity, a codeword per column
constexpr size_t kQWidth = 52, kQLength = 43; // 43 bytes of a diagonal, then two of Q parity
constexpr size_t kQParity = 2236;

// Word offsets of the Q diagonals: step k of diagonal j is word (44k + 43j) mod 1118.
constexpr std::array<std::array<uint16_t, kQWidth / 2>, kQLength> MakeQWords() {
    std::array<std::array<uint16_t, kQWidth / 2>, kQLength> w{};
    for (size_t k = 0; k < kQLength; ++k)
        for (size_t j = 0; j < kQWidth / 2; ++j)
            w[k][j] = static_cast<uint16_t>((44 * k + 43 * j) % 1118);
    return w;
}
constexpr auto kQWords = MakeQWords();

// Both syndromes of every codeword whose bytes are the columns of `rows` rows of `width` bytes (lanes of 8
// at `lanes` offsets, the last one overlapping): zero for a sound code. The second syndrome weighs row r
// by alpha^(rows-1-r), as the parity check matrices of ECMA-130 Annex A do.
template <size_t Lanes>
bool ColumnsSound(const uint8_t* const* row, size_t rows, const std::array<size_t, Lanes>& lanes) {
    std::array<uint64_t, Lanes> s0{}, s1{};
    for (size_t r = 0; r < rows; ++r)
        for (size_t l = 0; l < Lanes; ++l) {
            const uint64_t v = Load64(row[r] + lanes[l]);
            s0[l] ^= v;
            s1[l] = TimesAlpha(s1[l]) ^ v;
        }
    uint64_t any = 0;
    for (size_t l = 0; l < Lanes; ++l)
        any |= s0[l] | s1[l];
    return any == 0;
}

bool ParitySound(const uint8_t* covered) {
    constexpr std::array<size_t, 11> pLanes{0, 8, 16, 24, 32, 40, 48, 56, 64, 72, kPWidth - 8};
    std::array<const uint8_t*, kPRows> pRows{};
    for (size_t r = 0; r < kPRows; ++r)
        pRows[r] = covered + r * kPWidth;
    if (!ColumnsSound(pRows.data(), kPRows, pLanes))
        return false;
    // Each Q step gathered into a row of 52 bytes, so the diagonals become columns too.
    std::array<std::array<uint8_t, kQWidth>, kQLength> gathered;
    std::array<const uint8_t*, kQLength + 2> qRows{};
    for (size_t k = 0; k < kQLength; ++k) {
        for (size_t j = 0; j < kQWidth / 2; ++j)
            std::memcpy(&gathered[k][2 * j], covered + 2 * size_t{kQWords[k][j]}, 2);
        qRows[k] = gathered[k].data();
    }
    qRows[kQLength] = covered + kQParity;
    qRows[kQLength + 1] = covered + kQParity + kQWidth;
    constexpr std::array<size_t, 7> qLanes{0, 8, 16, 24, 32, 40, kQWidth - 8};
    return ColumnsSound(qRows.data(), qRows.size(), qLanes);
}

uint8_t Bcd(int v) {
    return static_cast<uint8_t>((v / 10) << 4 | (v % 10));
}

constexpr uint8_t kSync[12] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};

constexpr uint8_t GfTimesAlpha(uint8_t v) {
    return static_cast<uint8_t>((v << 1) ^ ((v & 0x80) ? 0x1D : 0));
}
// Division by 1 + alpha, as a table of its inverse.
constexpr std::array<uint8_t, 256> MakeDivide() {
    std::array<uint8_t, 256> t{};
    for (int i = 0; i < 256; ++i)
        t[static_cast<uint8_t>(i ^ GfTimesAlpha(static_cast<uint8_t>(i)))] = static_cast<uint8_t>(i);
    return t;
}
constexpr auto kDivide = MakeDivide();

// The two parity bytes of each of `majors` codewords of `minors` bytes over the covered bytes, the codeword
// `major` starting at (major / 2) * majorStep + major % 2 and going on by `minorStep` (mod the area).
void Parity(uint8_t* covered, size_t majors, size_t minors, size_t majorStep, size_t minorStep,
            uint8_t* out) {
    const size_t size = majors * minors;
    for (size_t major = 0; major < majors; ++major) {
        size_t index = (major >> 1) * majorStep + (major & 1);
        uint8_t a = 0, b = 0;
        for (size_t minor = 0; minor < minors; ++minor) {
            const uint8_t t = covered[index];
            index += minorStep;
            if (index >= size)
                index -= size;
            a = GfTimesAlpha(a ^ t);
            b ^= t;
        }
        a = kDivide[GfTimesAlpha(a) ^ b];
        out[major] = a;
        out[major + majors] = a ^ b;
    }
}

} // namespace

uint32_t Verify_Edc(std::span<const uint8_t> bytes) {
    uint32_t edc = 0;
    const uint8_t* p = bytes.data();
    size_t n = bytes.size();
    for (; n >= 8; p += 8, n -= 8) {
        const uint32_t lo = edc ^ Le32(p), hi = Le32(p + 4);
        edc = kEdc[7][lo & 0xFF] ^ kEdc[6][(lo >> 8) & 0xFF] ^ kEdc[5][(lo >> 16) & 0xFF] ^
              kEdc[4][lo >> 24] ^ kEdc[3][hi & 0xFF] ^ kEdc[2][(hi >> 8) & 0xFF] ^
              kEdc[1][(hi >> 16) & 0xFF] ^ kEdc[0][hi >> 24];
    }
    for (; n > 0; ++p, --n)
        edc = kEdc[0][(edc ^ *p) & 0xFF] ^ (edc >> 8);
    return edc;
}

void Verify_MakeMode1Sector(std::span<uint8_t, VERIFY_RAW_BYTES> sector, int32_t lba) {
    uint8_t* s = sector.data();
    std::memcpy(s, kSync, sizeof kSync);
    const ckvd::cd::Msf t = ckvd::cd::lba_to_msf(std::max(lba, -ckvd::cd::kLba0Frames));
    s[12] = Bcd(t.m);
    s[13] = Bcd(t.s);
    s[14] = Bcd(t.f);
    s[15] = 1;
    const uint32_t edc = Verify_Edc(sector.first(2064));
    for (int i = 0; i < 4; ++i)
        s[2064 + i] = static_cast<uint8_t>(edc >> (8 * i));
    std::memset(s + 2068, 0, 8);
    Parity(s + 12, kPWidth, 24, 2, kPWidth, s + 12 + 24 * kPWidth);
    Parity(s + 12, kQWidth, kQLength, kPWidth, 88, s + 12 + kQParity);
}

// The sync pattern's and the address's faults: the address in BCD, as ECMA-130 records it, or with `binary`
// also as drives that make sectors up write it.
static uint8_t SyncAndAddressFaults(const uint8_t* s, int32_t lba, bool binary) {
    uint8_t faults = std::memcmp(s, kSync, sizeof kSync) ? VERIFY_FAULT_SYNC : 0;
    const ckvd::cd::Msf t = ckvd::cd::lba_to_msf(lba);
    const bool bcd = s[12] == Bcd(t.m) && s[13] == Bcd(t.s) && s[14] == Bcd(t.f);
    const bool plain = binary && s[12] == t.m && s[13] == t.s && s[14] == t.f;
    if (lba < -ckvd::cd::kLba0Frames || !(bcd || plain))
        faults |= VERIFY_FAULT_HEADER;
    return faults;
}

uint8_t Verify_CheckSector(std::span<const uint8_t, VERIFY_RAW_BYTES> sector, int32_t lba) {
    const uint8_t* s = sector.data();
    uint8_t faults = SyncAndAddressFaults(s, lba, false);
    const auto edcFault = [&](size_t from, size_t to) {
        return Verify_Edc(sector.subspan(from, to - from)) != Le32(s + to) ? VERIFY_FAULT_EDC : 0;
    };
    std::array<uint8_t, kCovered> covered;
    switch (s[15]) {
    case 0: // Mode 0: no user data to check
        return faults;
    case 1:
        faults |= edcFault(0, 2064);
        return faults | (ParitySound(s + 12) ? 0 : VERIFY_FAULT_ECC);
    case 2:
        if (std::memcmp(s + 16, s + 20, 4)) // the subheader is recorded twice
            return faults | VERIFY_FAULT_HEADER;
        if (s[18] & 0x20) // Form 2: an EDC of zero means none was recorded
            return faults | (Le32(s + 2348) != 0 ? edcFault(16, 2348) : 0);
        faults |= edcFault(16, 2072);
        // Form 1's parity is computed with the header taken as zeros.
        std::memcpy(covered.data(), s + 12, covered.size());
        std::memset(covered.data(), 0, 4);
        return faults | (ParitySound(covered.data()) ? 0 : VERIFY_FAULT_ECC);
    default:
        return faults | VERIFY_FAULT_HEADER;
    }
}

bool Sector_IsSynthesised(const uint8_t* sector2352) {
    const uint8_t* s = sector2352;
    size_t from = 0;
    if (s[15] == 1)
        from = 2064;
    else if (s[15] == 2 && !std::memcmp(s + 16, s + 20, 4) && !(s[18] & 0x20))
        from = 2072;
    return from && std::all_of(s + from, s + VERIFY_RAW_BYTES, [](uint8_t b) { return b == 0; });
}

uint8_t Verify_CheckHeader(std::span<const uint8_t, VERIFY_RAW_BYTES> sector, int32_t lba) {
    const uint8_t* s = sector.data();
    const uint8_t faults = SyncAndAddressFaults(s, lba, true);
    return s[15] == 1 || s[15] == 2 ? faults : faults | VERIFY_FAULT_HEADER;
}

std::string Verify_FaultText(uint8_t faults) {
    std::string text;
    const auto add = [&](uint8_t bit, const char* what) {
        if (faults & bit)
            text += (text.empty() ? "" : ", ") + std::string(what);
    };
    add(VERIFY_FAULT_SYNC, "sync pattern broken");
    add(VERIFY_FAULT_HEADER, "header wrong");
    if ((faults & VERIFY_FAULT_EDC) && (faults & VERIFY_FAULT_ECC))
        add(VERIFY_FAULT_EDC, "EDC and ECC do not match");
    else {
        add(VERIFY_FAULT_EDC, "EDC does not match");
        add(VERIFY_FAULT_ECC, "ECC does not match");
    }
    return text;
}
