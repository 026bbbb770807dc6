#include "WavFile.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace render {

namespace {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatFloat = 3;
constexpr uint16_t kFormatExtensible = 0xFFFE;

uint32_t le32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint16_t le16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

void put16(std::vector<unsigned char>& out, uint32_t v) {
    out.push_back(v & 0xFF);
    out.push_back((v >> 8) & 0xFF);
}
void put32(std::vector<unsigned char>& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}
void putTag(std::vector<unsigned char>& out, const char* tag) {
    // Byte by byte: GCC 12's range insert raises a false -Wstringop-overflow under tsan.
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<unsigned char>(tag[i]));
}

} // namespace

std::string describe(SampleFormat format) {
    switch (format) {
    case SampleFormat::Pcm16:
        return "16-bit PCM";
    case SampleFormat::Pcm24:
        return "24-bit PCM";
    case SampleFormat::Pcm32:
        return "32-bit PCM";
    case SampleFormat::Float32:
        return "32-bit float";
    }
    return "?";
}

int bytesPerSample(SampleFormat format) {
    switch (format) {
    case SampleFormat::Pcm16:
        return 2;
    case SampleFormat::Pcm24:
        return 3;
    default:
        return 4;
    }
}

int32_t toInteger(float sample, SampleFormat format) {
    const int bits = format == SampleFormat::Pcm16 ? 16 : format == SampleFormat::Pcm24 ? 24 : 32;
    const double full = std::ldexp(1.0, bits - 1);
    double v = std::nearbyint(static_cast<double>(sample) * full);
    if (std::isnan(v)) v = 0.0;
    v = std::clamp(v, -full, full - 1.0);
    return static_cast<int32_t>(v);
}

WavReader::WavReader(const std::string& p) : path(p), file(p, std::ios::binary) {
    if (!file) throw WavError(path + ": cannot open the file");
    unsigned char riff[12];
    if (!file.read(reinterpret_cast<char*>(riff), 12) || std::memcmp(riff, "RIFF", 4) != 0 ||
        std::memcmp(riff + 8, "WAVE", 4) != 0)
        throw WavError(path + ": not a WAV file (no RIFF/WAVE header)");
    bool haveFormat = false;
    uint16_t tag = 0, bits = 0, blockAlign = 0;
    for (;;) {
        unsigned char chunk[8];
        if (!file.read(reinterpret_cast<char*>(chunk), 8))
            throw WavError(path + (haveFormat ? ": no data chunk" : ": no format chunk"));
        const uint32_t size = le32(chunk + 4);
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (size < 16) throw WavError(path + ": format chunk too short");
            std::vector<unsigned char> fmt(size);
            if (!file.read(reinterpret_cast<char*>(fmt.data()), size))
                throw WavError(path + ": format chunk cut short");
            tag = le16(fmt.data());
            header.channels = le16(fmt.data() + 2);
            header.sampleRate = le32(fmt.data() + 4);
            blockAlign = le16(fmt.data() + 12);
            bits = le16(fmt.data() + 14);
            if (tag == kFormatExtensible && size >= 26) tag = le16(fmt.data() + 24);
            if (size % 2) file.ignore(1);
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat) throw WavError(path + ": data chunk before the format chunk");
            if (tag == kFormatPcm && bits == 16)
                header.format = SampleFormat::Pcm16;
            else if (tag == kFormatPcm && bits == 24)
                header.format = SampleFormat::Pcm24;
            else if (tag == kFormatPcm && bits == 32)
                header.format = SampleFormat::Pcm32;
            else if (tag == kFormatFloat && bits == 32)
                header.format = SampleFormat::Float32;
            else
                throw WavError(path + ": unsupported sample format (format tag " +
                               std::to_string(tag) + ", " + std::to_string(bits) +
                               " bits); supported: 16-, 24-, 32-bit PCM and 32-bit float");
            if (header.channels < 1 || header.channels > 2)
                throw WavError(path + ": " + std::to_string(header.channels) +
                               " channels; supported: mono and stereo");
            if (header.sampleRate == 0) throw WavError(path + ": sample rate 0");
            if (blockAlign != header.channels * bytesPerSample(header.format))
                throw WavError(path + ": inconsistent block alignment");
            // Trust the file's actual length over a data size that promises more.
            const auto here = file.tellg();
            file.seekg(0, std::ios::end);
            const uint64_t available = static_cast<uint64_t>(file.tellg() - here);
            file.seekg(here);
            header.frames = std::min<uint64_t>(size, available) / blockAlign;
            framesLeft = header.frames;
            return;
        } else {
            file.seekg(size + (size % 2), std::ios::cur);
        }
    }
}

size_t WavReader::read(float* left, float* right, size_t maxFrames) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(maxFrames, framesLeft));
    if (n == 0) return 0;
    const int bps = bytesPerSample(header.format);
    const size_t frameBytes = static_cast<size_t>(bps) * header.channels;
    raw.resize(n * frameBytes);
    if (!file.read(reinterpret_cast<char*>(raw.data()), static_cast<std::streamsize>(raw.size())))
        throw WavError(path + ": read error");
    framesLeft -= n;
    for (size_t i = 0; i < n; ++i) {
        float v[2] = {0.0f, 0.0f};
        for (int c = 0; c < header.channels; ++c) {
            const unsigned char* p = raw.data() + i * frameBytes + static_cast<size_t>(c) * bps;
            switch (header.format) {
            case SampleFormat::Pcm16:
                v[c] = static_cast<int16_t>(le16(p)) / 32768.0f;
                break;
            case SampleFormat::Pcm24: {
                const int32_t s = p[0] | (p[1] << 8) | (p[2] << 16);
                const int32_t signedValue = s & 0x800000 ? s - 0x1000000 : s;
                v[c] = static_cast<float>(signedValue / 8388608.0);
                break;
            }
            case SampleFormat::Pcm32:
                v[c] = static_cast<float>(static_cast<int32_t>(le32(p)) / 2147483648.0);
                break;
            case SampleFormat::Float32: {
                const uint32_t b = le32(p);
                std::memcpy(&v[c], &b, 4);
                break;
            }
            }
        }
        left[i] = v[0];
        right[i] = header.channels == 1 ? v[0] : v[1];
    }
    return n;
}

WavWriter::WavWriter(const std::string& p, SampleFormat f, uint32_t rate)
    : path(p), file(p, std::ios::binary | std::ios::trunc), format(f), sampleRate(rate) {
    if (!file) throw WavError(path + ": cannot create the file");
    writeHeader();
}

WavWriter::~WavWriter() {
    if (!finished) {
        try {
            finish();
        } catch (...) {
        }
    }
}

void WavWriter::writeHeader() {
    const bool isFloat = format == SampleFormat::Float32;
    const uint32_t bps = static_cast<uint32_t>(bytesPerSample(format));
    const uint64_t dataBytes64 = frames * 2 * bps;
    const uint32_t dataBytes = static_cast<uint32_t>(dataBytes64);
    std::vector<unsigned char> h;
    putTag(h, "RIFF");
    put32(h, (isFloat ? 50 : 36) + dataBytes);
    putTag(h, "WAVE");
    putTag(h, "fmt ");
    put32(h, isFloat ? 18 : 16);
    put16(h, isFloat ? kFormatFloat : kFormatPcm);
    put16(h, 2);
    put32(h, sampleRate);
    put32(h, sampleRate * 2 * bps);
    put16(h, 2 * bps);
    put16(h, 8 * bps);
    if (isFloat) {
        put16(h, 0);
        putTag(h, "fact");
        put32(h, 4);
        put32(h, static_cast<uint32_t>(frames));
    }
    putTag(h, "data");
    put32(h, dataBytes);
    file.seekp(0);
    file.write(reinterpret_cast<const char*>(h.data()), static_cast<std::streamsize>(h.size()));
}

void WavWriter::write(const float* left, const float* right, size_t n) {
    const int bps = bytesPerSample(format);
    // RIFF sizes are 32-bit: refuse to write a file whose header would lie.
    if ((frames + n) * 2 * static_cast<uint64_t>(bps) > 0xFFFFFF00ull)
        throw WavError(path + ": output larger than 4 GB does not fit a WAV file");
    raw.resize(n * 2 * static_cast<size_t>(bps));
    unsigned char* out = raw.data();
    for (size_t i = 0; i < n; ++i) {
        for (float sample : {left[i], right[i]}) {
            uint32_t b;
            if (format == SampleFormat::Float32)
                std::memcpy(&b, &sample, 4);
            else
                b = static_cast<uint32_t>(toInteger(sample, format));
            for (int k = 0; k < bps; ++k)
                *out++ = static_cast<unsigned char>(b >> (8 * k));
        }
    }
    file.write(reinterpret_cast<const char*>(raw.data()), static_cast<std::streamsize>(raw.size()));
    if (!file) throw WavError(path + ": write error (disk full?)");
    frames += n;
}

void WavWriter::finish() {
    finished = true;
    writeHeader();
    file.close();
    if (!file) throw WavError(path + ": write error (disk full?)");
}

} // namespace render
