#include "support/riff_builder.h"

#include <stdlib.h>

#include <cstdlib>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace velinor::test {

void PutLe16(Bytes& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void PutLe32(Bytes& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void PutLe64(Bytes& out, uint64_t value) {
    PutLe32(out, static_cast<uint32_t>(value));
    PutLe32(out, static_cast<uint32_t>(value >> 32));
}

void PutCode(Bytes& out, std::string_view code) {
    for (size_t i = 0; i < 4; ++i) out.push_back(i < code.size() ? static_cast<uint8_t>(code[i]) : 0);
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

uint32_t GetLe32(const Bytes& bytes, size_t at) {
    return uint32_t(bytes.at(at)) | uint32_t(bytes.at(at + 1)) << 8 | uint32_t(bytes.at(at + 2)) << 16 |
           uint32_t(bytes.at(at + 3)) << 24;
}

void SetLe32(Bytes& bytes, size_t at, uint32_t value) {
    for (size_t i = 0; i < 4; ++i) bytes.at(at + i) = static_cast<uint8_t>(value >> (8 * i));
}

Bytes RawChunk(std::string_view code, uint32_t declaredSize, const Bytes& body) {
    Bytes out;
    PutCode(out, code);
    PutLe32(out, declaredSize);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

Bytes Chunk(std::string_view code, const Bytes& body) {
    Bytes out = RawChunk(code, static_cast<uint32_t>(body.size()), body);
    if (body.size() % 2) out.push_back(0);
    return out;
}

static Bytes ListOf(std::string_view kind, std::string_view type, const Bytes& children) {
    Bytes body;
    PutCode(body, type);
    body.insert(body.end(), children.begin(), children.end());
    return Chunk(kind, body);
}

Bytes List(std::string_view type, const Bytes& children) {
    return ListOf("LIST", type, children);
}
Bytes List(std::string_view type, std::initializer_list<Bytes> children) {
    return ListOf("LIST", type, Concat(children));
}
Bytes Riff(std::string_view type, std::initializer_list<Bytes> children) {
    return ListOf("RIFF", type, Concat(children));
}

Bytes StrhBody(const StreamHeader& h) {
    Bytes out;
    PutCode(out, h.type);
    PutCode(out, h.handler);
    PutLe32(out, 0);  // flags
    PutLe16(out, 0);  // priority
    PutLe16(out, 0);  // language
    PutLe32(out, 0);  // initial frames
    PutLe32(out, h.scale);
    PutLe32(out, h.rate);
    PutLe32(out, 0);  // start
    PutLe32(out, h.length);
    PutLe32(out, 144000);      // suggested buffer size
    PutLe32(out, 0xFFFFFFFF);  // quality
    PutLe32(out, h.sampleSize);
    PutLe16(out, 0);
    PutLe16(out, 0);
    PutLe16(out, static_cast<uint16_t>(h.right));
    PutLe16(out, static_cast<uint16_t>(h.bottom));
    return out;
}

Bytes DvInfoBody() {
    Bytes out;
    for (uint32_t i = 0; i < 8; ++i) PutLe32(out, 0x11111111u * (i + 1));
    return out;
}

Bytes BitmapInfoBody(std::string_view compression, int32_t width, int32_t height, bool withDvInfo) {
    Bytes out;
    PutLe32(out, withDvInfo ? 72 : 40);
    PutLe32(out, static_cast<uint32_t>(width));
    PutLe32(out, static_cast<uint32_t>(height));
    PutLe16(out, 1);
    PutLe16(out, 24);
    PutCode(out, compression);
    PutLe32(out, 144000);
    PutLe32(out, 0);
    PutLe32(out, 0);
    PutLe32(out, 0);
    PutLe32(out, 0);
    if (withDvInfo) {
        const Bytes dv = DvInfoBody();
        out.insert(out.end(), dv.begin(), dv.end());
    }
    return out;
}

Bytes WaveFormatBody(uint16_t channels, uint32_t rate, uint16_t bits) {
    Bytes out;
    const uint16_t align = static_cast<uint16_t>(channels * bits / 8);
    PutLe16(out, 1);
    PutLe16(out, channels);
    PutLe32(out, rate);
    PutLe32(out, rate * align);
    PutLe16(out, align);
    PutLe16(out, bits);
    PutLe16(out, 0);
    return out;
}

Bytes AvihBody(uint32_t microSecPerFrame, uint32_t totalFrames, uint32_t streams) {
    Bytes out;
    PutLe32(out, microSecPerFrame);
    PutLe32(out, 3600000);  // max bytes per second
    PutLe32(out, 0);        // padding granularity
    PutLe32(out, 0x10);     // AVIF_HASINDEX
    PutLe32(out, totalFrames);
    PutLe32(out, 0);  // initial frames
    PutLe32(out, streams);
    PutLe32(out, 144000);
    PutLe32(out, 720);
    PutLe32(out, 576);
    for (int i = 0; i < 4; ++i) PutLe32(out, 0);
    return out;
}

static Bytes MoviAndIndex(std::initializer_list<std::string_view> ids, int frames, size_t frameBytes) {
    Bytes movi;
    Bytes idx;
    uint32_t offset = 4;
    for (int f = 0; f < frames; ++f)
        for (std::string_view id : ids) {
            const Bytes chunk = Chunk(id, Bytes(frameBytes, static_cast<uint8_t>(0x40 + f)));
            PutCode(idx, id);
            PutLe32(idx, 0x10);
            PutLe32(idx, offset);
            PutLe32(idx, static_cast<uint32_t>(frameBytes));
            offset += static_cast<uint32_t>(chunk.size());
            movi.insert(movi.end(), chunk.begin(), chunk.end());
        }
    return Concat({List("movi", movi), Chunk("idx1", idx)});
}

Bytes Type2Avi(std::string_view handler, std::string_view compression, int frames, size_t frameBytes) {
    const Bytes hdrl =
        List("hdrl", {Chunk("avih", AvihBody(40000, static_cast<uint32_t>(frames), 2)),
                      List("strl", {Chunk("strh", StrhBody({.type = "vids", .handler = handler})),
                                    Chunk("strf", BitmapInfoBody(compression, 720, 576, true))}),
                      List("strl", {Chunk("strh", StrhBody({.type = "auds",
                                                            .handler = std::string_view("\0\0\0\0", 4),
                                                            .scale = 1,
                                                            .rate = 48000,
                                                            .sampleSize = 4})),
                                    Chunk("strf", WaveFormatBody())})});
    const Bytes info = List("INFO", {Chunk("ISFT", Bytes{'V', 'e', 'l', 'i', 'n', 'o', 'r', 0})});
    return Riff("AVI ", {hdrl, info, MoviAndIndex({"00dc", "01wb"}, frames, frameBytes)});
}

Bytes Type1Avi(std::string_view handler, int frames, size_t frameBytes) {
    const Bytes hdrl =
        List("hdrl", {Chunk("avih", AvihBody(40000, static_cast<uint32_t>(frames), 1)),
                      List("strl", {Chunk("strh", StrhBody({.type = "iavs", .handler = handler})),
                                    Chunk("strf", DvInfoBody())})});
    return Riff("AVI ", {hdrl, MoviAndIndex({"00__"}, frames, frameBytes)});
}

static void CollectBoundaries(const Bytes& file, size_t pos, size_t end, int depth,
                              std::vector<size_t>& out) {
    while (end - pos >= 8) {
        const std::string code(file.begin() + static_cast<ptrdiff_t>(pos),
                               file.begin() + static_cast<ptrdiff_t>(pos + 4));
        const size_t size = GetLe32(file, pos + 4);
        if (size > end - pos - 8) return;
        const size_t next = std::min(end, pos + 8 + size + (size & 1));
        out.push_back(pos);
        out.push_back(pos + 8);
        out.push_back(next);
        if ((code == "RIFF" || code == "LIST") && size >= 4 && depth < 16)
            CollectBoundaries(file, pos + 12, pos + 8 + size, depth + 1, out);
        pos = next;
    }
}

std::vector<size_t> ChunkBoundaries(const Bytes& file) {
    std::vector<size_t> out{0, file.size()};
    CollectBoundaries(file, 0, file.size(), 0, out);
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

ScratchDir::ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "velinor-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    // Read-only files and folders made by a test must not outlive it.
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path_, ec))
        std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

std::string ScratchDir::write(const std::string& name, const Bytes& bytes) const {
    const std::string file = (path_ / name).string();
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + file);
    return file;
}

Bytes ReadAll(const std::string& path) {
    if (!std::filesystem::is_regular_file(path)) return {};
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace velinor::test

namespace velinor::test {

std::string FfmpegAvi(const ScratchDir& dir, const std::string& name, const std::string& codec) {
    const std::string out = (dir.path() / name).string();
    std::string command = "ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=";
    if (codec == "dvvideo")
        command += "720x576:rate=25 -f lavfi -i sine=sample_rate=48000 -t 0.2 -c:v dvvideo -c:a pcm_s16le ";
    else
        command += "64x48:rate=25 -t 0.2 -c:v " + codec + " ";
    command += "'" + out + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0 || !std::filesystem::exists(out)) return {};
    return out;
}

}  // namespace velinor::test
