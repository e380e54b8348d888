#include "media/avi_demuxer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <unordered_set>

#include "media/dvcodes.h"
#include "media/media_error.h"
#include "platform/error_text.h"

namespace velinor {

namespace {

constexpr uint32_t kRiff = FourCC("RIFF");
constexpr uint32_t kList = FourCC("LIST");
constexpr int64_t kMaxHeaderListBytes = 16 << 20;  // hdrl and INFO are read whole; real ones are a few KB
constexpr uint32_t kIndexOfIndexes = 0x00;         // indx bIndexType
constexpr uint32_t kIndexOfChunks = 0x01;
constexpr uint32_t kIdx1List = 0x01;  // idx1 dwFlags: the entry is a LIST ("rec ")
constexpr uint32_t kIdx1Keyframe = 0x10;
constexpr uint32_t kIxNotKeyframe = 0x80000000u;  // ix## dwSize bit 31

uint16_t le16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}
uint32_t le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint64_t le64(const uint8_t* p) {
    return uint64_t(le32(p)) | uint64_t(le32(p + 4)) << 32;
}

void put32(std::vector<uint8_t>& v, uint32_t x) {
    for (int i = 0; i < 4; ++i) v.push_back(uint8_t(x >> (8 * i)));
}
void put64(std::vector<uint8_t>& v, uint64_t x) {
    put32(v, uint32_t(x));
    put32(v, uint32_t(x >> 32));
}

// Stream number of a data chunk id "NNxx" (two decimal digits first), or -1.
int chunkStream(uint32_t id) {
    const int a = int(id & 0xFF) - '0', b = int((id >> 8) & 0xFF) - '0';
    if (a < 0 || a > 9 || b < 0 || b > 9) return -1;
    return a * 10 + b;
}

// A walk over the chunks of a body held in memory. Each step checks the header and clips a
// body that claims more than remains.
struct ChunkCursor {
    explicit ChunkCursor(std::span<const uint8_t> b) : body(b) {}
    std::span<const uint8_t> body;
    size_t pos = 0;
    uint32_t id = 0;
    std::span<const uint8_t> data;

    bool next() {
        if (pos + 8 > body.size()) return false;
        id = le32(&body[pos]);
        const uint64_t size = le32(&body[pos + 4]);
        const size_t start = pos + 8;
        const size_t len = size_t(std::min<uint64_t>(size, body.size() - start));
        data = body.subspan(start, len);
        pos = start + len + (len & 1);
        return true;
    }
    uint32_t listType() const { return data.size() >= 4 ? le32(data.data()) : 0; }
};

bool isDvHeaderBlock(const uint8_t* b) {
    // DIF header block of sequence 0: section type 0 in ID0 bits 7-5, sequence 0 in ID1 bits
    // 7-4, block number 0 in ID2.
    return (b[0] & 0xE0) == 0 && (b[1] & 0xF0) == 0 && b[2] == 0;
}

}  // namespace

std::string FourCCText(uint32_t code) {
    std::string s(4, ' ');
    for (int i = 0; i < 4; ++i) s[size_t(i)] = char(uint8_t(code >> (8 * i)));
    return s;
}

bool IsDvFamilyCodec(std::string_view text) {
    if (text.size() != 4) return false;
    std::string lower(text);
    for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
    static constexpr std::string_view kFamily[] = {"dvsd", "dsvd", "cdvc", "dv25", "dvcs", "dvhd", "dvsl"};
    for (const std::string_view code : kFamily)
        if (lower == code) return true;
    return false;
}

bool IsDvFamilyFourCC(uint32_t code) {
    return IsDvFamilyCodec(FourCCText(code));
}

uint32_t AviStreamInfo::Codec() const {
    if (Handler != 0) return Handler;
    if (Kind == AviStreamKind::Video && Format.size() >= 20) return le32(&Format[16]);
    return 0;
}

int64_t AviStreamInfo::TickDuration100ns() const {
    if (Rate == 0 || Scale == 0) return 0;
    return int64_t((uint64_t(Scale) * 10'000'000u + Rate / 2) / Rate);
}

std::vector<uint8_t> AviStreamInfo::MediaFormat() const {
    std::vector<uint8_t> out;
    switch (Kind) {
        case AviStreamKind::Video: {
            // VIDEOINFOHEADER: rcSource (16), rcTarget (16), dwBitRate, dwBitErrorRate,
            // AvgTimePerFrame (int64, 100 ns), then the BITMAPINFOHEADER and whatever follows it.
            out.assign(32, 0);
            const int64_t bytesPerFrame = SampleCount > 0 && Format.size() >= 24 ? le32(&Format[20]) : 0;
            const int64_t tick = TickDuration100ns();
            const int64_t bitRate = tick > 0 ? bytesPerFrame * 8 * 10'000'000 / tick : 0;
            put32(out, uint32_t(std::min<int64_t>(bitRate, UINT32_MAX)));
            put32(out, 0);
            put64(out, uint64_t(tick));
            out.insert(out.end(), Format.begin(), Format.end());
            if (out.size() < 88) out.resize(88, 0);
            break;
        }
        case AviStreamKind::Audio:
            out = Format;
            if (out.size() < 18) out.resize(18, 0);
            break;
        case AviStreamKind::Interleaved:
            out = Format;
            out.resize(32, 0);
            break;
        case AviStreamKind::Other:
            out = Format;
            break;
    }
    return out;
}

AviDemuxer::AviDemuxer(const std::string& path) : path_(path) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);  // a FIFO must not block
    if (fd_ < 0) throw MediaError(path, std::string("impossible d'ouvrir le fichier : ") + ErrorText(errno));
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        throw MediaError(path, "ce n'est pas un fichier ordinaire");
    }
    fileSize_ = st.st_size;
#ifdef POSIX_FADV_SEQUENTIAL
    ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
    // Reads copy straight from the page cache when the file can be mapped, pread otherwise.
    mapped_ = MappedFile::Map(fd_, size_t(fileSize_));
    try {
        open();
    } catch (...) {
        ::close(fd_);
        fd_ = -1;
        throw;
    }
}

AviDemuxer::AviDemuxer(std::vector<uint8_t> bytes, std::string name)
    : path_(std::move(name)), memory_(std::move(bytes)) {
    fileSize_ = int64_t(memory_.size());
    open();
}

AviDemuxer::~AviDemuxer() {
    if (fd_ >= 0) ::close(fd_);
}

void AviDemuxer::fail(const std::string& message, int64_t offset) const {
    throw MediaError(path_, message, offset);
}

bool AviDemuxer::readAt(int64_t offset, void* dst, size_t n) const noexcept {
    if (offset < 0 || offset > fileSize_ || int64_t(n) > fileSize_ - offset) return false;
    if (fd_ < 0) {
        if (n) std::memcpy(dst, memory_.data() + offset, n);
        return true;
    }
    if (mapped_) return mapped_->Copy(uint64_t(offset), dst, n);
    auto* p = static_cast<uint8_t*>(dst);
    while (n > 0) {
        const ssize_t got = ::pread(fd_, p, n, offset);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        p += got;
        n -= size_t(got);
        offset += got;
    }
    return true;
}

void AviDemuxer::open() {
    if (fileSize_ < 12) fail("fichier vide ou trop court pour un fichier AVI", 0);
    int64_t pos = 0;
    bool first = true;
    while (pos + 12 <= fileSize_) {
        uint8_t h[12];
        if (!readAt(pos, h, 12)) fail("lecture impossible", pos);
        const uint32_t id = le32(h), type = le32(h + 8);
        int64_t size = le32(h + 4);
        // A capture that was never finalized leaves the form's size as written at the start,
        // 0 or 4 (the form type alone): the form then runs to the end of the file.
        if (size <= 4) size = fileSize_ - pos - 8;
        if (first) {
            if (id != kRiff || type != FourCC("AVI ")) fail("ce n'est pas un fichier AVI", 0);
        } else if (id != kRiff || type != FourCC("AVIX")) {
            break;  // trailing data after the last form
        }
        const int64_t end = std::min(pos + 8 + size, fileSize_);
        int64_t p = pos + 12;
        while (p + 8 <= end) {
            uint8_t ch[12] = {};
            if (!readAt(p, ch, 8)) break;
            const uint32_t cid = le32(ch);
            int64_t csize = le32(ch + 4);
            const int64_t body = p + 8;
            // The same for an unfinished movi list: its data runs to the end of the form.
            if (cid == kList && csize <= 4 && readAt(body, ch + 8, 4) && le32(ch + 8) == FourCC("movi"))
                csize = end - body;
            const int64_t bodyEnd = std::min(body + csize, end);
            if (cid == kList && bodyEnd - body >= 4) {
                if (!readAt(body, ch + 8, 4)) break;
                const uint32_t ltype = le32(ch + 8);
                if (ltype == FourCC("hdrl") && first && streams_.empty()) {
                    if (bodyEnd - body > kMaxHeaderListBytes) fail("en-tête AVI démesuré", p);
                    std::vector<uint8_t> hdrl(size_t(bodyEnd - body - 4));
                    if (!readAt(body + 4, hdrl.data(), hdrl.size())) fail("lecture impossible", body);
                    parseHeaderList(hdrl, body + 4);
                } else if (ltype == FourCC("movi")) {
                    movis_.push_back({body, bodyEnd});
                } else if (ltype == FourCC("INFO") && bodyEnd - body <= kMaxHeaderListBytes) {
                    std::vector<uint8_t> list(size_t(bodyEnd - body - 4));
                    if (readAt(body + 4, list.data(), list.size())) parseInfo(list);
                }
            } else if (cid == FourCC("idx1") && first && idx1Pos_ < 0) {
                idx1Pos_ = body;
                idx1Size_ = uint32_t(bodyEnd - body);
            }
            p = body + csize + (csize & 1);
        }
        if (first && streams_.empty()) fail("en-tête AVI (hdrl) absent ou incomplet", pos);
        first = false;
        pos = pos + 8 + size + (size & 1);
    }
    if (first) fail("ce n'est pas un fichier AVI", 0);

    index_.assign(streams_.size(), {});
    loadSuperIndexes();
    loadIdx1();
    scanMovi();
    finishStreams();
    bytesRead_ = std::make_unique<std::atomic<uint64_t>[]>(streams_.size());
}

void AviDemuxer::parseHeaderList(const std::vector<uint8_t>& hdrl, int64_t base) {
    ChunkCursor c(hdrl);
    while (c.next()) {
        if (c.id == FourCC("avih") && c.data.size() >= 40) {
            // MainAVIHeader: dwMicroSecPerFrame at 0, dwWidth at 32, dwHeight at 36.
            microSecPerFrame_ = le32(&c.data[0]);
            width_ = le32(&c.data[32]);
            height_ = le32(&c.data[36]);
        } else if (c.id == kList && c.listType() == FourCC("strl")) {
            if (streams_.size() >= 100) fail("trop de flux", base + int64_t(c.pos));
            parseStreamList(c.data.subspan(4));
        } else if (c.id == kList && c.listType() == FourCC("odml")) {
            openDml_ = true;
        }
    }
}

void AviDemuxer::parseStreamList(std::span<const uint8_t> strl) {
    AviStreamInfo s;
    SuperIndex super;
    bool haveHeader = false;
    ChunkCursor c(strl);
    while (c.next()) {
        if (c.id == FourCC("strh")) {
            // AVIStreamHeader: fccType 0, fccHandler 4, dwFlags 8, wPriority 12, wLanguage 14,
            // dwInitialFrames 16, dwScale 20, dwRate 24, dwStart 28, dwLength 32,
            // dwSuggestedBufferSize 36, dwQuality 40, dwSampleSize 44, rcFrame 48 (4 x int16).
            s.Header.assign(c.data.begin(), c.data.begin() + std::min<size_t>(c.data.size(), 56));
            s.Header.resize(56, 0);
            const uint8_t* h = s.Header.data();
            s.Type = le32(h);
            s.Handler = le32(h + 4);
            s.Scale = le32(h + 20);
            s.Rate = le32(h + 24);
            s.DeclaredLength = le32(h + 32);
            s.SampleSize = le32(h + 44);
            haveHeader = true;
        } else if (c.id == FourCC("strf")) {
            s.Format.assign(c.data.begin(), c.data.end());
        } else if (c.id == FourCC("strn")) {
            s.Name.assign(c.data.begin(), c.data.end());
            s.Name.resize(std::strlen(s.Name.c_str()));
        } else if (c.id == FourCC("indx") && c.data.size() >= 24) {
            // AVIMETAINDEX: wLongsPerEntry 0, bIndexSubType 2, bIndexType 3, nEntriesInUse 4,
            // dwChunkId 8, then 12 bytes (base offset for a chunk index), entries from 24.
            const uint8_t* d = c.data.data();
            const uint32_t longs = le16(d), type = d[3], inUse = le32(d + 4);
            if (type == kIndexOfIndexes && longs == 4) {
                const size_t fit = (c.data.size() - 24) / 16;
                const size_t n = std::min<size_t>(inUse, fit);
                for (size_t i = 0; i < n; ++i) {
                    const uint8_t* e = d + 24 + 16 * i;  // qwOffset, dwSize, dwDuration
                    const uint64_t off = le64(e);
                    const uint32_t sz = le32(e + 8);
                    if (off == 0 || sz == 0) continue;
                    super.Entries.emplace_back(int64_t(std::min<uint64_t>(off, INT64_MAX)), sz);
                }
            } else if (type == kIndexOfChunks) {
                super.Standard.assign(c.data.begin(), c.data.end());
            }
            openDml_ = true;
        }
    }
    if (!haveHeader) return;  // a stream list without a header names no stream
    if (s.Type == FourCC("vids"))
        s.Kind = AviStreamKind::Video;
    else if (s.Type == FourCC("auds"))
        s.Kind = AviStreamKind::Audio;
    else if (s.Type == FourCC("iavs") || s.Type == FourCC("ivas"))
        s.Kind = AviStreamKind::Interleaved;
    streams_.push_back(std::move(s));
    superIndexes_.push_back(std::move(super));
}

void AviDemuxer::parseInfo(std::span<const uint8_t> list) {
    ChunkCursor c(list);
    while (c.next() && info_.size() < 1000) {
        std::string text(c.data.begin(), c.data.end());
        text.resize(std::strlen(text.c_str()));
        info_.emplace_back(c.id, std::move(text));
    }
}

std::optional<std::string> AviDemuxer::InfoText(uint32_t code) const {
    for (const auto& [id, text] : info_)
        if (id == code) return text;
    return std::nullopt;
}

// ix## / standard indx body: wLongsPerEntry 0 (2, or 3 with field offsets), bIndexSubType 2,
// bIndexType 3 (1), nEntriesInUse 4, dwChunkId 8, qwBaseOffset 12, dwReserved 20, entries
// from 24: dwOffset (from the base, to the chunk's data), dwSize (bit 31 set: not a key frame).
// Returns false when an entry lies outside the file: the rest is left to the data scan.
bool AviDemuxer::loadStandardIndex(int stream, std::span<const uint8_t> body) {
    if (body.size() < 24) return false;
    const uint8_t* d = body.data();
    const uint32_t longs = le16(d);
    if (d[3] != kIndexOfChunks || (longs != 2 && longs != 3)) return false;
    const size_t stride = 4 * size_t(longs);
    const size_t n = std::min<size_t>(le32(d + 4), (body.size() - 24) / stride);
    const uint64_t base = le64(d + 12);
    auto& out = index_[size_t(stream)];
    // Every chunk the entries point at has an 8-byte header of its own, so a file holds at most
    // fileSize / 8 of them: more entries than that repeat or overlap, and the index is damaged.
    if (indexedEntries_ + n > size_t(fileSize_ / 8)) return false;
    indexedEntries_ += n;
    for (size_t i = 0; i < n; ++i) {
        const uint8_t* e = d + 24 + stride * i;
        const uint32_t rawSize = le32(e + 4);
        const uint64_t offset = base + le32(e);
        const uint32_t size = rawSize & ~kIxNotKeyframe;
        if (base > uint64_t(fileSize_) || offset < 8 || offset + size > uint64_t(fileSize_)) return false;
        out.push_back({int64_t(offset), size, (rawSize & kIxNotKeyframe) == 0, 0});
    }
    return n == le32(d + 4);
}

void AviDemuxer::loadSuperIndexes() {
    for (size_t s = 0; s < streams_.size(); ++s) {
        const SuperIndex& super = superIndexes_[s];
        if (!super.Standard.empty()) {
            if (!loadStandardIndex(int(s), super.Standard)) indexRebuilt_ = true;
            continue;
        }
        // A damaged super index may list one ix## chunk many times: each is read once.
        std::unordered_set<int64_t> read;
        for (const auto& [pos, size] : super.Entries) {
            if (!read.insert(pos).second) continue;
            uint8_t h[8];
            if (!readAt(pos, h, 8)) {
                indexRebuilt_ = true;
                break;
            }
            const int64_t body =
                std::min<int64_t>({int64_t(le32(h + 4)), int64_t(size) - 8, fileSize_ - pos - 8});
            const uint32_t id = le32(h);
            const bool isIndexChunk =
                (id & 0xFFFF) == (FourCC("ix00") & 0xFFFF) || (id >> 16) == (FourCC("00ix") >> 16);
            if (!isIndexChunk || body < 24 || body > (int64_t(1) << 30)) {
                indexRebuilt_ = true;
                break;
            }
            std::vector<uint8_t> bytes(static_cast<size_t>(body));
            if (!readAt(pos + 8, bytes.data(), bytes.size()) || !loadStandardIndex(int(s), bytes)) {
                indexRebuilt_ = true;
                break;
            }
        }
    }
}

// idx1 entries: ckid, dwFlags, dwChunkOffset, dwChunkLength. The offset counts from the "movi"
// list type of the first form (some writers use absolute positions instead: told apart by
// looking at the first entry's chunk header).
void AviDemuxer::loadIdx1() {
    if (idx1Pos_ < 0 || movis_.empty()) return;
    bool haveSuper = false;
    for (size_t s = 0; s < streams_.size(); ++s)
        if (!index_[s].empty() || !superIndexes_[s].Entries.empty() || !superIndexes_[s].Standard.empty())
            haveSuper = true;
    if (haveSuper) return;  // the OpenDML index covers every form; idx1 only the first
    const size_t count = idx1Size_ / 16;
    std::vector<uint8_t> bytes(count * 16);
    if (!readAt(idx1Pos_, bytes.data(), bytes.size())) return;
    const int64_t moviPos = movis_.front().TypePos;
    int64_t base = moviPos;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* e = &bytes[16 * i];
        if (le32(e + 4) & kIdx1List) continue;
        uint8_t h[4];
        const int64_t off = le32(e + 8);
        const bool relative = readAt(moviPos + off, h, 4) && le32(h) == le32(e);
        const bool absolute = readAt(off, h, 4) && le32(h) == le32(e);
        if (!relative && absolute) base = 0;
        break;
    }
    std::vector<bool> stopped(streams_.size(), false);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* e = &bytes[16 * i];
        const int s = chunkStream(le32(e));
        if (s < 0 || size_t(s) >= streams_.size() || stopped[size_t(s)] || (le32(e + 4) & kIdx1List))
            continue;
        const int64_t data = base + int64_t(le32(e + 8)) + 8;
        const uint32_t size = le32(e + 12);
        if (data + int64_t(size) > fileSize_) {
            stopped[size_t(s)] = true;
            indexRebuilt_ = true;
            continue;
        }
        index_[size_t(s)].push_back({data, size, (le32(e + 4) & kIdx1Keyframe) != 0, 0});
    }
}

// Reads the 8-byte chunk headers of a forward walk through a window of the file. A walk over
// small chunks (or over zeroed space, 8 bytes a step) is served from memory in reads that grow
// to 1 MB; a jump far past the window reads one page, so large frames are not read whole.
class AviDemuxer::HeaderReader {
public:
    explicit HeaderReader(const AviDemuxer& d) : d_(d) {}
    bool read(int64_t pos, uint8_t (&h)[8], int64_t limit) {
        if (pos < start_ || pos + 8 > start_ + int64_t(buffer_.size())) {
            const int64_t end = start_ + int64_t(buffer_.size());
            window_ =
                pos >= start_ && pos < end + window_ ? std::min<int64_t>(window_ * 2, kMaxWindow) : kPage;
            const int64_t n = std::max<int64_t>(8, std::min(window_, limit - pos));
            buffer_.resize(size_t(n));
            start_ = pos;
            if (!d_.readAt(pos, buffer_.data(), buffer_.size())) {
                buffer_.clear();
                return false;
            }
        }
        std::memcpy(h, buffer_.data() + (pos - start_), 8);
        return true;
    }

private:
    static constexpr int64_t kPage = 4096;
    static constexpr int64_t kMaxWindow = 1 << 20;
    const AviDemuxer& d_;
    std::vector<uint8_t> buffer_;
    int64_t start_ = 0;
    int64_t window_ = kPage;
};

// Adds the data chunks that no index entry covers: all of them when the file has no index, the
// tail of a list when the index was cut short, or a form whose index was never written.
void AviDemuxer::scanMovi() {
    const size_t ns = streams_.size();
    for (auto& v : index_)
        std::sort(v.begin(), v.end(),
                  [](const AviSample& a, const AviSample& b) { return a.Offset < b.Offset; });
    HeaderReader headers(*this);
    for (const MoviList& m : movis_) {
        const int64_t first = m.TypePos + 4;
        std::vector<int64_t> after(ns, first);  // a chunk of stream s is new when it starts here or later
        int64_t start = m.End;
        for (size_t s = 0; s < ns; ++s) {
            const auto& v = index_[s];
            auto it = std::upper_bound(v.begin(), v.end(), m.End,
                                       [](int64_t pos, const AviSample& x) { return pos < x.Offset; });
            if (it != v.begin()) {
                const AviSample& last = *std::prev(it);
                if (last.Offset >= first) after[s] = last.Offset + last.Size + (last.Size & 1);
            }
            start = std::min(start, after[s]);
        }
        int64_t p = start;
        while (p + 8 <= m.End) {
            uint8_t h[8];
            if (!headers.read(p, h, m.End)) break;
            const uint32_t id = le32(h);
            const int64_t size = le32(h + 4);
            if (id == kList) {  // "rec " groups: walk into them
                p += size >= 4 ? 12 : 8 + size;
                continue;
            }
            if (p + 8 + size > m.End) break;  // cut short: only whole chunks count
            const int s = chunkStream(id);
            if (s >= 0 && size_t(s) < ns && p >= after[size_t(s)]) {
                index_[size_t(s)].push_back({p + 8, uint32_t(size), true, 0});
                indexRebuilt_ = true;
            }
            p += 8 + size + (size & 1);
        }
    }
    for (auto& v : index_) {
        std::stable_sort(v.begin(), v.end(),
                         [](const AviSample& a, const AviSample& b) { return a.Offset < b.Offset; });
        v.erase(std::unique(v.begin(), v.end(),
                            [](const AviSample& a, const AviSample& b) { return a.Offset == b.Offset; }),
                v.end());
    }
}

void AviDemuxer::finishStreams() {
    for (size_t s = 0; s < streams_.size(); ++s) {
        AviStreamInfo& info = streams_[s];
        auto& v = index_[s];
        int64_t tick = 0;
        for (AviSample& x : v) {
            x.Start = tick;
            tick += info.SampleSize > 0 ? int64_t(x.Size / info.SampleSize) : 1;
        }
        info.SampleCount = int64_t(v.size());
        info.Length = tick;
        info.Duration100ns =
            info.Rate > 0 && info.Scale > 0
                ? int64_t(static_cast<long double>(tick) * info.Scale * 10'000'000 / info.Rate + 0.5L)
                : 0;
    }
}

int AviDemuxer::FindStream(AviStreamKind kind) const {
    for (size_t s = 0; s < streams_.size(); ++s)
        if (streams_[s].Kind == kind) return int(s);
    return -1;
}

int AviDemuxer::VideoStream() const {
    for (size_t s = 0; s < streams_.size(); ++s)
        if (streams_[s].Kind == AviStreamKind::Video || streams_[s].Kind == AviStreamKind::Interleaved)
            return int(s);
    return -1;
}

int AviDemuxer::AudioStream() const {
    return FindStream(AviStreamKind::Audio);
}

bool AviDemuxer::IsDvStream(int stream) const {
    if (stream < 0 || size_t(stream) >= streams_.size()) return false;
    const AviStreamInfo& s = streams_[size_t(stream)];
    if (s.Kind == AviStreamKind::Interleaved) return true;
    if (s.Kind != AviStreamKind::Video) return false;
    const uint32_t compression = s.Format.size() >= 20 ? le32(&s.Format[16]) : 0;
    if (!IsDvFamilyFourCC(compression != 0 ? compression : s.Handler)) return false;
    for (const AviSample& x : index_[size_t(stream)]) {
        if (x.Size == 0) continue;
        if (x.Size != 120'000 && x.Size != 144'000) return false;
        uint8_t b[3];
        return readAt(x.Offset, b, 3) && isDvHeaderBlock(b);
    }
    return false;
}

void AviDemuxer::countRead(int stream, uint64_t bytes) const noexcept {
    bytesRead_[size_t(stream)].fetch_add(bytes, std::memory_order_relaxed);
}

uint64_t AviDemuxer::BytesRead(int stream) const noexcept {
    if (stream < 0 || size_t(stream) >= streams_.size()) return 0;
    return bytesRead_[size_t(stream)].load(std::memory_order_relaxed);
}

bool AviDemuxer::Read(int stream, int64_t n, std::vector<uint8_t>& out) const noexcept {
    if (stream < 0 || size_t(stream) >= index_.size()) return false;
    const auto& v = index_[size_t(stream)];
    if (n < 0 || n >= int64_t(v.size())) return false;
    const AviSample& x = v[size_t(n)];
    try {
        out.resize(x.Size);
    } catch (...) {
        return false;
    }
    if (!readAt(x.Offset, out.data(), x.Size)) return false;
    countRead(stream, x.Size);
    return true;
}

namespace {

// Audio block a (0-8) of a DIF sequence is its block 6 + 16a.
constexpr int kAudioBlocksPerSequence = 9;
constexpr size_t audioBlockOffset(int sequence, int block) {
    return size_t(sequence) * kDifSequenceBytes + size_t(6 + 16 * block) * kDifBlockBytes;
}
// The widest run of other blocks between two audio blocks: from the last of one sequence to
// the first of the next.
constexpr size_t kMaxAudioGap =
    kDifSequenceBytes + audioBlockOffset(0, 0) - audioBlockOffset(0, 8) - kDifBlockBytes;

}  // namespace

bool AviDemuxer::ReadDifAudioBlocks(int stream, int64_t n, std::vector<uint8_t>& out) const noexcept {
    if (stream < 0 || size_t(stream) >= index_.size()) return false;
    const auto& v = index_[size_t(stream)];
    if (n < 0 || n >= int64_t(v.size())) return false;
    const AviSample& x = v[size_t(n)];
    const int sequences = DifSequenceCount(x.Size);
    if (sequences == 0) return Read(stream, n, out);
    try {
        out.resize(x.Size);
    } catch (...) {
        return false;
    }
    const int blocks = sequences * kAudioBlocksPerSequence;
    const size_t first = audioBlockOffset(0, 0);
    const size_t span = audioBlockOffset(sequences - 1, kAudioBlocksPerSequence - 1) + kDifBlockBytes - first;
    if (fd_ < 0) {
        if (x.Offset + int64_t(x.Size) > fileSize_) return false;
        for (int b = 0; b < blocks; ++b) {
            const size_t at = audioBlockOffset(b / kAudioBlocksPerSequence, b % kAudioBlocksPerSequence);
            std::memcpy(out.data() + at, memory_.data() + x.Offset + int64_t(at), kDifBlockBytes);
        }
        countRead(stream, uint64_t(blocks) * kDifBlockBytes);
        return true;
    }
    // One read over the blocks from the first audio block to the last: each audio block lands
    // in its place, the blocks between them in a scratch area that each gap overwrites.
    uint8_t scratch[kMaxAudioGap];
    iovec parts[2 * 12 * kAudioBlocksPerSequence];
    int count = 0;
    size_t pos = first;
    for (int b = 0; b < blocks; ++b) {
        const size_t at = audioBlockOffset(b / kAudioBlocksPerSequence, b % kAudioBlocksPerSequence);
        if (at > pos) parts[count++] = {scratch, at - pos};
        parts[count++] = {out.data() + at, kDifBlockBytes};
        pos = at + kDifBlockBytes;
    }
    ssize_t got;
    do {
        got = ::preadv(fd_, parts, count, x.Offset + int64_t(first));
    } while (got < 0 && errno == EINTR);
    if (got < 0) return false;
    if (size_t(got) < span) {
        // A short read: the blocks it did not reach are read one by one.
        for (int b = 0; b < blocks; ++b) {
            const size_t at = audioBlockOffset(b / kAudioBlocksPerSequence, b % kAudioBlocksPerSequence);
            if (at + kDifBlockBytes - first <= size_t(got)) continue;
            if (!readAt(x.Offset + int64_t(at), out.data() + at, kDifBlockBytes)) return false;
        }
    }
    countRead(stream, uint64_t(blocks) * kDifBlockBytes);
    return true;
}

std::optional<int64_t> AviDemuxer::SampleAt(int stream, int64_t tick) const noexcept {
    if (stream < 0 || size_t(stream) >= index_.size() || tick < 0) return std::nullopt;
    const auto& v = index_[size_t(stream)];
    auto it =
        std::upper_bound(v.begin(), v.end(), tick, [](int64_t t, const AviSample& x) { return t < x.Start; });
    if (it == v.begin()) return std::nullopt;
    const int64_t n = int64_t(it - v.begin()) - 1;
    const AviSample& x = v[size_t(n)];
    const uint32_t ss = streams_[size_t(stream)].SampleSize;
    const int64_t span = ss > 0 ? int64_t(x.Size / ss) : 1;
    if (tick >= x.Start + std::max<int64_t>(span, 1)) return std::nullopt;
    return n;
}

int64_t AviDemuxer::TickTime100ns(int stream, int64_t tick) const noexcept {
    if (stream < 0 || size_t(stream) >= streams_.size()) return 0;
    const AviStreamInfo& s = streams_[size_t(stream)];
    if (s.Rate == 0 || s.Scale == 0) return 0;
    return int64_t(static_cast<long double>(tick) * s.Scale * 10'000'000 / s.Rate + 0.5L);
}

std::optional<int64_t> AviDemuxer::SampleAtTime(int stream, int64_t time100ns) const noexcept {
    if (stream < 0 || size_t(stream) >= streams_.size() || time100ns < 0) return std::nullopt;
    const AviStreamInfo& s = streams_[size_t(stream)];
    if (s.Rate == 0 || s.Scale == 0) return std::nullopt;
    // The tick whose start, rounded to 100 ns as TickTime100ns gives it, is at or before the time.
    int64_t tick = int64_t(static_cast<long double>(time100ns) * s.Rate /
                           (static_cast<long double>(s.Scale) * 10'000'000));
    if (TickTime100ns(stream, tick + 1) <= time100ns)
        ++tick;
    else if (tick > 0 && TickTime100ns(stream, tick) > time100ns)
        --tick;
    return SampleAt(stream, tick);
}

}  // namespace velinor
