#pragma once
// WAV files for the render tool: 16-, 24- and 32-bit integer PCM and 32-bit float, read and
// written a block at a time so that long files need no more memory than a block.

#include <cstdint>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace render {

/// A file that cannot be read or written, or a format the tool does not handle; the message
/// names the file and the reason.
class WavError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class SampleFormat { Pcm16, Pcm24, Pcm32, Float32 };

/// "16-bit PCM", ...
std::string describe(SampleFormat format);
int bytesPerSample(SampleFormat format);

struct WavInfo {
    SampleFormat format = SampleFormat::Float32;
    int channels = 0;
    uint32_t sampleRate = 0;
    uint64_t frames = 0;
};

class WavReader {
public:
    /// Opens and checks the file; throws WavError.
    explicit WavReader(const std::string& path);
    const WavInfo& info() const { return header; }
    /// Reads up to `maxFrames` frames as float channels (mono is given as both channels);
    /// answers the number read, 0 at the end.
    size_t read(float* left, float* right, size_t maxFrames);

private:
    std::string path;
    std::ifstream file;
    WavInfo header;
    uint64_t framesLeft = 0;
    std::vector<unsigned char> raw;
};

class WavWriter {
public:
    /// Creates the file (stereo); throws WavError.
    WavWriter(const std::string& path, SampleFormat format, uint32_t sampleRate);
    ~WavWriter();
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;
    /// Appends frames; integer formats are rounded (ties to even) and clipped to full scale.
    void write(const float* left, const float* right, size_t frames);
    /// Writes the final sizes and closes; throws WavError when the disk refused the data.
    void finish();

private:
    void writeHeader();
    std::string path;
    std::ofstream file;
    SampleFormat format;
    uint32_t sampleRate;
    uint64_t frames = 0;
    bool finished = false;
    std::vector<unsigned char> raw;
};

/// Integer sample value for a float sample in the given integer format, clipped.
int32_t toInteger(float sample, SampleFormat format);

} // namespace render
