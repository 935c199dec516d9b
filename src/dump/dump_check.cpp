// The dumped image read back once: sector checks and hashes in one pass over each file.
#include "dump/dump_check.h"

#include <nettle/md5.h>
#include <nettle/sha1.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <span>

#include "dump/dump_map.h"
#include "platform/bytes/hex_text.h"
#include "verify/sector_check.h"

namespace {

constexpr size_t kCorruptKept = 100;
constexpr uint32_t kChunkBlocks = 256;

// CRC32, MD5 and SHA-1 of a stream of bytes (nettle: a small library, so every ckvd command starts as fast
// as before; OpenSSL's libcrypto cost each of them milliseconds to load).
class Hasher {
  public:
    Hasher() {
        md5_init(&m_md5);
        sha1_init(&m_sha1);
    }
    void Add(const uint8_t* p, size_t n) {
        m_crc = crc32_z(m_crc, p, n);
        md5_update(&m_md5, n, p);
        sha1_update(&m_sha1, n, p);
        m_size += n;
    }
    DumpHashes End() {
        DumpHashes h;
        h.size = m_size;
        char crc[9];
        std::snprintf(crc, sizeof crc, "%08lx", m_crc);
        h.crc32 = crc;
        uint8_t md5[MD5_DIGEST_SIZE], sha1[SHA1_DIGEST_SIZE];
        md5_digest(&m_md5, sizeof md5, md5);
        sha1_digest(&m_sha1, sizeof sha1, sha1);
        h.md5 = bytes::HexText(md5, sizeof md5);
        h.sha1 = bytes::HexText(sha1, sizeof sha1);
        return h;
    }

  private:
    md5_ctx m_md5;
    sha1_ctx m_sha1;
    uLong m_crc = crc32(0, nullptr, 0);
    uint64_t m_size = 0;
};

// The checks of one whole sector of a data track read from the drive.
void CheckSector(const uint8_t* s, uint32_t lba, DumpCheck& check) {
    const std::span<const uint8_t, VERIFY_RAW_BYTES> sector(s, VERIFY_RAW_BYTES);
    if (Verify_CheckSector(sector, static_cast<int32_t>(lba))) {
        if (check.corruptBlocks.size() < kCorruptKept)
            check.corruptBlocks.push_back(lba);
        ++check.corrupt;
    } else {
        ++check.verified;
    }
}

} // namespace

bool Dump_Check(const DumpPlan& plan, const std::vector<uint8_t>& states, const std::vector<uint8_t>& made,
                const std::vector<bool>& remade, DumpCheck& check, std::string& why) {
    check = DumpCheck{};
    check.trackMode.assign(plan.tracks.size(), 0);
    std::vector<uint8_t> buffer(size_t{kChunkBlocks} * plan.sectorBytes);
    for (size_t f = 0; f < plan.files.size(); ++f) {
        std::ifstream in(plan.files[f], std::ios::binary);
        Hasher whole;
        for (size_t ti = 0; ti < plan.tracks.size(); ++ti) {
            const DumpTrack& t = plan.tracks[ti];
            if (t.file != f)
                continue;
            Hasher track;
            const bool sectors = plan.format == DumpFormat::Cue && !t.audio;
            check.trackMode[ti] = t.audio ? 0 : 1;
            for (uint32_t done = 0; done < t.blocks;) {
                const uint32_t n = std::min(kChunkBlocks, t.blocks - done);
                const size_t bytes = size_t{n} * plan.sectorBytes;
                if (!in.read(reinterpret_cast<char*>(buffer.data()), static_cast<std::streamsize>(bytes))) {
                    why = "cannot read " + plan.files[f] + " back";
                    return false;
                }
                track.Add(buffer.data(), bytes);
                whole.Add(buffer.data(), bytes);
                for (uint32_t i = 0; sectors && i < n; ++i) {
                    const uint8_t* s = buffer.data() + size_t{i} * VERIFY_RAW_BYTES;
                    if (done + i == 0 && s[15] == 2)
                        check.trackMode[ti] = 2;
                    const uint8_t state = states[t.at + done + i];
                    if (state != DUMP_READ && state != DUMP_RETRIED)
                        continue;
                    if (remade[t.at + done + i])
                        ++check.synthesised;
                    else if (made[ti] != DUMP_SECTORS_REFUSED)
                        CheckSector(s, t.start + done + i, check);
                }
                done += n;
            }
            check.tracks.push_back(track.End());
        }
        check.files.push_back(whole.End());
    }
    return true;
}

std::string Dump_Sha1(const std::string& text) {
    Hasher h;
    h.Add(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    return h.End().sha1;
}
