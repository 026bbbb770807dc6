#pragma once
// The render tool's host side: one instance of the plug-in binary, loaded through its exported
// entry as a host loads it, with programs and parameters chosen by number or by name.

#include "host/VstHost.h"

#include <memory>
#include <string>
#include <vector>

namespace render {

/// A bad command-line choice (unknown program or parameter, value out of range).
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class PluginRenderer {
public:
    /// Loads the binary and creates an instance; throws host::HostError.
    explicit PluginRenderer(const std::string& pluginPath);
    ~PluginRenderer();

    int numPrograms() const;
    int numParams() const;
    std::string programName(int index);
    std::string parameterName(int index);
    /// Display text and label of the current value ("-14.4 dB").
    std::string parameterText(int index);
    float parameterValue(int index);

    /// A program by number (0..11) or by name (case-insensitive); throws UsageError.
    void selectProgram(const std::string& spec);
    /// A parameter by index or name, to a value in 0..1; throws UsageError.
    void setParameter(const std::string& spec, const std::string& value);

    /// effSetSampleRate, effSetBlockSize, then processing on (effMainsChanged 1).
    void start(float sampleRate, int blockSize);
    /// One block of at most the block size given to start.
    void process(float* inL, float* inR, float* outL, float* outR, int frames);
    /// Processing off (effMainsChanged 0).
    void stop();

private:
    int findParameter(const std::string& spec);
    host::HostCallback callback;
    std::shared_ptr<host::PluginLibrary> library;
    std::unique_ptr<host::PluginInstance> instance;
    bool running = false;
};

} // namespace render
