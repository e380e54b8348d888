#include "media/avi_writer.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "media/avi_demuxer.h"
#include "media/media_error.h"
#include "platform/error_text.h"

namespace velinor {

namespace {

constexpr size_t kSuperIndexSlots = 256;  // reserved indx entries: 256 forms of 1 GB
constexpr size_t kBufferBytes = 4 << 20;
constexpr uint32_t kAvifHasIndex = 0x10;
constexpr uint32_t kAvifIsInterleaved = 0x100;
constexpr uint32_t kIdx1Keyframe = 0x10;

class Bytes {
public:
    std::vector<uint8_t> v;
    void u8(uint8_t x) { v.push_back(x); }
    void u16(uint16_t x) {
        u8(uint8_t(x));
        u8(uint8_t(x >> 8));
    }
    void u32(uint32_t x) {
        u16(uint16_t(x));
        u16(uint16_t(x >> 16));
    }
    void u64(uint64_t x) {
        u32(uint32_t(x));
        u32(uint32_t(x >> 32));
    }
    void fcc(const char (&s)[5]) { u32(FourCC(s)); }
    void zeros(size_t n) { v.insert(v.end(), n, 0); }
    // Opens a chunk (or a list when `listType` is given) and returns where its size goes.
    size_t begin(uint32_t id, uint32_t listType = 0) {
        u32(id);
        const size_t at = v.size();
        u32(0);
        if (listType) u32(listType);
        return at;
    }
    // Closes a chunk: patches its size once and pads its body to even length.
    void end(size_t at) {
        const uint32_t size = uint32_t(v.size() - at - 4);
        for (int i = 0; i < 4; ++i) v[at + size_t(i)] = uint8_t(size >> (8 * i));
        if (size & 1) u8(0);
    }
};

uint32_t streamChunkId(size_t stream, const char (&suffix)[3]) {
    const char s[5] = {char('0' + stream / 10), char('0' + stream % 10), suffix[0], suffix[1], 0};
    return FourCC(s);
}

uint32_t indexChunkId(size_t stream) {
    const char s[5] = {'i', 'x', char('0' + stream / 10), char('0' + stream % 10), 0};
    return FourCC(s);
}

uint32_t parseFourCC(const std::string& text) {
    char s[5] = {' ', ' ', ' ', ' ', 0};
    for (size_t i = 0; i < 4 && i < text.size(); ++i) s[i] = text[i];
    return FourCC(s);
}

}  // namespace

DvInfo DvInfoFromFrame(std::span<const uint8_t> frame) {
    DvInfo out;
    out.fill(0xFF);
    std::fill(out.begin() + 24, out.end(), 0);  // the two reserved words
    const size_t sequences = frame.size() == 120'000 ? 10 : frame.size() == 144'000 ? 12 : 0;
    if (sequences == 0) return out;
    constexpr size_t kSeq = 150 * 80;
    // A pack's 4 payload bytes, searched in the audio blocks (6 + 16 i, pack at byte 3) of the
    // first sequence of a half, or in the VAUX blocks 3-5 (15 packs from byte 3).
    auto put = [&](size_t slot, const uint8_t* pack) { std::memcpy(&out[4 * slot], pack + 1, 4); };
    for (size_t half = 0; half < 2; ++half) {
        const uint8_t* seq = frame.data() + half * (sequences / 2) * kSeq;
        bool src = false, ctl = false;
        for (size_t i = 0; i < 9; ++i) {
            const uint8_t* pack = seq + (6 + 16 * i) * 80 + 3;
            if (pack[0] == 0x50 && !src) put(2 * half, pack), src = true;
            if (pack[0] == 0x51 && !ctl) put(2 * half + 1, pack), ctl = true;
        }
    }
    bool vsrc = false, vctl = false;
    for (size_t block = 3; block < 6; ++block)
        for (size_t i = 0; i < 15; ++i) {
            const uint8_t* pack = frame.data() + block * 80 + 3 + 5 * i;
            if (pack[0] == 0x60 && !vsrc) put(4, pack), vsrc = true;
            if (pack[0] == 0x61 && !vctl) put(5, pack), vctl = true;
        }
    return out;
}

AviWriter::AviWriter(std::string path, AviWriterSettings settings)
    : path_(std::move(path)), settings_(std::move(settings)) {
    if (settings_.Rate == 0 || settings_.Scale == 0) throw MediaError(path_, "cadence d'images invalide");
    if (settings_.Channels > 8) throw MediaError(path_, "nombre de canaux audio invalide");
    if (settings_.FormLimit < (16u << 10)) settings_.FormLimit = 16u << 10;
    std::error_code ec;
    if (!settings_.ReplaceExisting && std::filesystem::exists(path_, ec))
        throw MediaError(path_, "le fichier existe déjà");

    if (!file_.Open(path_,
                    settings_.ReplaceExisting ? AtomicFile::Existing::Replace : AtomicFile::Existing::Keep))
        throw MediaError(path_,
                         std::string("impossible de créer le fichier : ") + ErrorText(file_.errorNumber()));

    Stream video;
    video.ChunkId = streamChunkId(0, "dc");
    video.IndexId = indexChunkId(0);
    streams_.push_back(video);
    if (settings_.Type == AviWriterSettings::Kind::DvType2 && settings_.Channels > 0) {
        Stream audio;
        audio.ChunkId = streamChunkId(1, "wb");
        audio.IndexId = indexChunkId(1);
        audio.BlockAlign = 2u * settings_.Channels;
        streams_.push_back(audio);
    }
    buffer_.reserve(kBufferBytes);
    const std::vector<uint8_t> header = buildHeader();
    headerBytes_ = header.size();
    formStart_ = 0;
    moviStart_ = headerBytes_ - 12;
    append(header.data(), header.size());
}

AviWriter::~AviWriter() {
    if (!finished_ && !failed_) {
        try {
            Finish();
        } catch (...) {
        }
    }
    Abandon();
}

// RIFF "AVI " { LIST hdrl { avih, LIST strl { strh, strf, indx } ..., LIST odml { dmlh } },
// LIST INFO { ... }, LIST movi { ... } }: everything up to the movi list type. Its size does
// not depend on what was written, so the final version overwrites the placeholder in place.
std::vector<uint8_t> AviWriter::buildHeader() const {
    const bool type1 = settings_.Type == AviWriterSettings::Kind::DvType1;
    const uint64_t usPerFrame = uint64_t(settings_.Scale) * 1'000'000 / settings_.Rate;
    uint32_t maxChunk = 0;
    for (const Stream& s : streams_) maxChunk = std::max(maxChunk, s.MaxChunk);

    Bytes b;
    const size_t riff = b.begin(FourCC("RIFF"), FourCC("AVI "));
    const size_t hdrl = b.begin(FourCC("LIST"), FourCC("hdrl"));
    {
        // MainAVIHeader. dwTotalFrames counts the first form only; dmlh holds the whole count.
        const size_t avih = b.begin(FourCC("avih"));
        b.u32(uint32_t(usPerFrame));
        b.u32(uint32_t(std::min<uint64_t>(maxBytesPerSec_, UINT32_MAX)));
        b.u32(0);  // dwPaddingGranularity
        b.u32(kAvifHasIndex | kAvifIsInterleaved);
        b.u32(uint32_t(firstFormFrames_));
        b.u32(0);  // dwInitialFrames
        b.u32(uint32_t(streams_.size()));
        b.u32(maxChunk + 8);
        b.u32(settings_.Width);
        b.u32(settings_.Height);
        b.zeros(16);
        b.end(avih);
    }
    for (size_t i = 0; i < streams_.size(); ++i) {
        const Stream& s = streams_[i];
        const bool audio = s.BlockAlign != 0;
        const size_t strl = b.begin(FourCC("LIST"), FourCC("strl"));
        const size_t strh = b.begin(FourCC("strh"));
        b.u32(audio ? FourCC("auds") : type1 ? FourCC("iavs") : FourCC("vids"));
        b.u32(audio ? 0 : settings_.VideoHandler);
        b.u32(0);  // dwFlags
        b.u16(0);  // wPriority
        b.u16(0);  // wLanguage
        b.u32(0);  // dwInitialFrames
        if (audio) {
            b.u32(s.BlockAlign);                         // dwScale
            b.u32(s.BlockAlign * settings_.SampleRate);  // dwRate: bytes per second
        } else {
            b.u32(settings_.Scale);
            b.u32(settings_.Rate);
        }
        b.u32(0);  // dwStart
        b.u32(uint32_t(s.Ticks));
        b.u32(s.MaxChunk);
        b.u32(0xFFFFFFFF);    // dwQuality: default
        b.u32(s.BlockAlign);  // dwSampleSize: 0 for video
        b.u16(0);
        b.u16(0);
        b.u16(uint16_t(audio ? 0 : settings_.Width));
        b.u16(uint16_t(audio ? 0 : settings_.Height));
        b.end(strh);

        const size_t strf = b.begin(FourCC("strf"));
        if (audio) {
            // WAVEFORMATEX, PCM.
            b.u16(1);
            b.u16(settings_.Channels);
            b.u32(settings_.SampleRate);
            b.u32(settings_.SampleRate * s.BlockAlign);
            b.u16(uint16_t(s.BlockAlign));
            b.u16(16);
            b.u16(0);
        } else if (type1) {
            b.v.insert(b.v.end(), settings_.DvInfoBlock.begin(), settings_.DvInfoBlock.end());
        } else {
            // BITMAPINFOHEADER.
            b.u32(40);
            b.u32(settings_.Width);
            b.u32(settings_.Height);
            b.u16(1);
            b.u16(24);
            b.u32(settings_.VideoHandler);
            b.u32(s.MaxChunk);
            b.zeros(16);
        }
        b.end(strf);

        // Super-index: wLongsPerEntry 4, bIndexSubType 0, bIndexType 0 (index of indexes),
        // nEntriesInUse, dwChunkId, 3 reserved, then { qwOffset, dwSize, dwDuration } slots.
        const size_t indx = b.begin(FourCC("indx"));
        b.u16(4);
        b.u8(0);
        b.u8(0);
        b.u32(uint32_t(s.Super.size()));
        b.u32(s.ChunkId);
        b.zeros(12);
        for (size_t k = 0; k < kSuperIndexSlots; ++k) {
            if (k < s.Super.size()) {
                b.u64(s.Super[k].Pos);
                b.u32(s.Super[k].Size);
                b.u32(s.Super[k].Duration);
            } else {
                b.zeros(16);
            }
        }
        b.end(indx);
        b.end(strl);
    }
    {
        const size_t odml = b.begin(FourCC("LIST"), FourCC("odml"));
        const size_t dmlh = b.begin(FourCC("dmlh"));
        b.u32(uint32_t(videoFrames_));
        b.zeros(244);
        b.end(dmlh);
        b.end(odml);
    }
    b.end(hdrl);
    if (!settings_.Info.empty()) {
        const size_t info = b.begin(FourCC("LIST"), FourCC("INFO"));
        for (const auto& [code, text] : settings_.Info) {
            const size_t at = b.begin(parseFourCC(code));
            b.v.insert(b.v.end(), text.begin(), text.end());
            b.u8(0);
            b.end(at);
        }
        b.end(info);
    }
    const size_t movi = b.begin(FourCC("LIST"), FourCC("movi"));
    // Sizes of the first form, known once it is closed.
    for (int i = 0; i < 4; ++i) {
        b.v[movi + size_t(i)] = uint8_t(firstMoviSize_ >> (8 * i));
        b.v[riff + size_t(i)] = uint8_t(firstFormSize_ >> (8 * i));
    }
    return b.v;
}

void AviWriter::failWrite(const char* what, int err) {
    failed_ = true;
    Abandon();
    throw MediaError(path_, std::string(what) + " : " + ErrorText(err), int64_t(written_));
}

void AviWriter::flush() {
    if (!file_.Write(std::span<const uint8_t>(buffer_)))
        failWrite("écriture impossible", file_.errorNumber());
    buffer_.clear();
}

void AviWriter::append(const void* data, size_t n) {
    if (buffer_.size() + n > kBufferBytes) flush();
    const auto* p = static_cast<const uint8_t*>(data);
    buffer_.insert(buffer_.end(), p, p + n);
    written_ += n;
}

void AviWriter::patch(uint64_t pos, const void* data, size_t n) {
    flush();
    if (!file_.WriteAt(pos, std::span<const uint8_t>(static_cast<const uint8_t*>(data), n)))
        failWrite("écriture impossible", file_.errorNumber());
}

uint64_t AviWriter::pendingIndexBytes() const {
    uint64_t bytes = 0;
    for (const Stream& s : streams_) bytes += 32 + 8 * (s.FormEntries.size() + 1);
    if (inFirstForm_) bytes += 8 + idx1_.size() + 16;
    return bytes;
}

void AviWriter::writeChunk(size_t stream, std::span<const uint8_t> data) {
    if (!file_.isOpen() || finished_ || failed_)
        throw MediaError(path_, "le fichier n'est plus ouvert en écriture");
    if (data.size() > (64u << 20)) throw MediaError(path_, "bloc de données démesuré");
    const uint64_t need = 8 + data.size() + (data.size() & 1);
    bool any = false;
    for (const Stream& s : streams_) any = any || !s.FormEntries.empty();
    if (any && written_ - formStart_ + need + pendingIndexBytes() + 24 > settings_.FormLimit) {
        // Refused before anything is lost: what was written can still be finished.
        for (const Stream& x : streams_)
            if (x.Super.size() + 1 >= kSuperIndexSlots)
                throw MediaError(path_, "fichier trop volumineux", int64_t(written_));
        closeForm();
        openForm();
    }
    Stream& s = streams_[stream];
    const uint64_t chunkPos = written_;
    const uint32_t head[2] = {s.ChunkId, uint32_t(data.size())};
    uint8_t h[8];
    for (int i = 0; i < 2; ++i)
        for (int k = 0; k < 4; ++k) h[4 * i + k] = uint8_t(head[i] >> (8 * k));
    append(h, 8);
    if (buffer_.size() + data.size() > kBufferBytes) flush();
    if (data.size() >= kBufferBytes) {
        // Large chunks go straight to the file.
        if (!file_.Write(data)) failWrite("écriture impossible", file_.errorNumber());
        written_ += data.size();
    } else {
        append(data.data(), data.size());
    }
    if (data.size() & 1) {
        const uint8_t pad = 0;
        append(&pad, 1);
    }
    s.FormEntries.push_back({chunkPos + 8, uint32_t(data.size())});
    s.MaxChunk = std::max(s.MaxChunk, uint32_t(data.size()));
    const uint64_t ticks = s.BlockAlign ? data.size() / s.BlockAlign : 1;
    s.Ticks += ticks;
    s.FormTicks += ticks;
    if (inFirstForm_) {
        // idx1 entry: ckid, dwFlags, dwChunkOffset (from the movi list type), dwChunkLength.
        Bytes e;
        e.u32(s.ChunkId);
        e.u32(kIdx1Keyframe);
        e.u32(uint32_t(chunkPos - (moviStart_ + 8)));
        e.u32(uint32_t(data.size()));
        idx1_.insert(idx1_.end(), e.v.begin(), e.v.end());
    }
}

void AviWriter::WriteVideo(std::span<const uint8_t> frame) {
    writeChunk(0, frame);
    ++videoFrames_;
    if (inFirstForm_) ++firstFormFrames_;
    const uint64_t perSec = (uint64_t(frame.size()) * settings_.Rate + settings_.Scale - 1) / settings_.Scale;
    uint64_t audio = streams_.size() > 1 ? uint64_t(streams_[1].BlockAlign) * settings_.SampleRate : 0;
    maxBytesPerSec_ = std::max(maxBytesPerSec_, perSec + audio);
}

void AviWriter::WriteAudio(std::span<const uint8_t> pcm) {
    if (streams_.size() < 2) throw MediaError(path_, "ce fichier n'a pas de flux audio");
    if (pcm.empty()) return;
    writeChunk(1, pcm);
}

// Ends the current form: one ix## per stream inside movi, then (first form only) idx1 after
// movi, then the form's sizes.
void AviWriter::closeForm() {
    for (Stream& s : streams_) {
        if (s.FormEntries.empty()) continue;
        // ix##: wLongsPerEntry 2, bIndexSubType 0, bIndexType 1, nEntriesInUse, dwChunkId,
        // qwBaseOffset, dwReserved, then { dwOffset from the base to the data, dwSize }.
        Bytes ix;
        const size_t at = ix.begin(s.IndexId);
        ix.u16(2);
        ix.u8(0);
        ix.u8(1);
        ix.u32(uint32_t(s.FormEntries.size()));
        ix.u32(s.ChunkId);
        ix.u64(formStart_);
        ix.u32(0);
        for (const Entry& e : s.FormEntries) {
            ix.u32(uint32_t(e.DataPos - formStart_));
            ix.u32(e.Size);
        }
        ix.end(at);
        s.Super.push_back({written_, uint32_t(ix.v.size()), uint32_t(s.FormTicks)});
        append(ix.v.data(), ix.v.size());
        s.FormEntries.clear();
        s.FormTicks = 0;
    }
    const uint32_t moviSize = uint32_t(written_ - moviStart_ - 8);
    if (inFirstForm_) {
        firstMoviSize_ = moviSize;
        Bytes idx1;
        const size_t at = idx1.begin(FourCC("idx1"));
        idx1.v.insert(idx1.v.end(), idx1_.begin(), idx1_.end());
        idx1.end(at);
        append(idx1.v.data(), idx1.v.size());
        idx1_.clear();
        idx1_.shrink_to_fit();
        firstFormSize_ = uint32_t(written_ - formStart_ - 8);
    } else {
        const uint32_t formSize = uint32_t(written_ - formStart_ - 8);
        uint8_t b[4];
        for (int i = 0; i < 4; ++i) b[i] = uint8_t(moviSize >> (8 * i));
        patch(moviStart_ + 4, b, 4);
        for (int i = 0; i < 4; ++i) b[i] = uint8_t(formSize >> (8 * i));
        patch(formStart_ + 4, b, 4);
    }
    inFirstForm_ = false;
    ++forms_;
}

void AviWriter::openForm() {
    formStart_ = written_;
    Bytes b;
    b.begin(FourCC("RIFF"), FourCC("AVIX"));
    b.begin(FourCC("LIST"), FourCC("movi"));
    moviStart_ = formStart_ + 12;
    append(b.v.data(), b.v.size());
}

void AviWriter::Finish() {
    if (finished_) return;
    if (failed_ || !file_.isOpen()) throw MediaError(path_, "l'écriture du fichier a échoué");
    closeForm();
    const std::vector<uint8_t> header = buildHeader();
    if (header.size() != headerBytes_) {  // cannot happen: the header's layout is fixed
        failed_ = true;
        Abandon();
        throw MediaError(path_, "en-tête incohérent");
    }
    patch(0, header.data(), header.size());
    if (!file_.Commit()) {
        const int err = file_.errorNumber();
        failed_ = true;
        Abandon();
        throw MediaError(path_, err == EEXIST
                                    ? std::string("le fichier existe déjà")
                                    : std::string("impossible de terminer le fichier : ") + ErrorText(err));
    }
    finished_ = true;
}

void AviWriter::Abandon() noexcept {
    file_.Discard();
    if (!finished_) failed_ = true;
}

}  // namespace velinor
