#pragma once
// A small VST 2 host: loads a plug-in binary, answers and records the plug-in's callbacks, and
// drives its record (dispatcher, parameters, processing). Used by tools and by the tests that go
// through the real binary.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "vst/DAEffectX.h"

namespace host {

/// What went wrong while loading a plug-in or creating an instance.
class HostError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// One call the plug-in made to the host.
struct CallRecord {
    AEffect* effect = nullptr;
    int32_t opcode = 0;
    int32_t index = 0;
    intptr_t value = 0;
    void* ptr = nullptr;
    float opt = 0.0f;
    /// For audioMasterProcessEvents: a copy of each MIDI event of the list (the plug-in may
    /// reuse its records as soon as the call returns).
    std::vector<VstMidiEvent> midiEvents;
};

/// The host side of the callback: answers every opcode (0 unless told otherwise; the version
/// query answers 2400) and records every call. Thread-safe: plug-ins call from the audio and
/// the user-interface thread.
class HostCallback {
public:
    using Answer = std::function<intptr_t(const CallRecord& call)>;

    HostCallback();
    ~HostCallback();
    HostCallback(const HostCallback&) = delete;
    HostCallback& operator=(const HostCallback&) = delete;

    /// The answer to audioMasterVersion (0 makes a well-behaved plug-in refuse to start).
    void setVersion(intptr_t version);
    /// Answers `opcode` with `answer` from now on (replacing the fixed or earlier answer).
    void setAnswer(int32_t opcode, Answer answer);
    void setAnswer(int32_t opcode, intptr_t constant);

    /// Every call so far, in order.
    std::vector<CallRecord> calls() const;
    /// The calls so far with this opcode.
    std::vector<CallRecord> calls(int32_t opcode) const;
    void clearCalls();

    /// The function to hand to a plug-in's entry.
    static audioMasterCallback callback();

private:
    friend class PluginInstance;
    static intptr_t VSTCALLBACK dispatch(AEffect* effect, int32_t opcode, int32_t index,
                                         intptr_t value, void* ptr, float opt);
    intptr_t answer(CallRecord&& call);
    static void attach(AEffect* effect, HostCallback* host);
    static void detach(AEffect* effect);

    mutable std::mutex mutex;
    std::vector<CallRecord> recorded;
    std::map<int32_t, Answer> answers;
};

/// A plug-in binary loaded into this process; unloaded when the last user lets go.
class PluginLibrary {
public:
    using Entry = AEffect*(VSTCALLBACK*)(audioMasterCallback);

    /// Loads `path` and finds its entry (VSTPluginMain, else main); throws HostError.
    static std::shared_ptr<PluginLibrary> load(const std::string& path);
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    Entry entry() const { return entryFunction; }
    /// The exported function `name`, or null.
    void* symbol(const char* name) const;
    const std::string& path() const { return filePath; }

private:
    PluginLibrary(void* handle, std::string path);
    void* handle;
    std::string filePath;
    Entry entryFunction = nullptr;
};

/// One plug-in object, created through the library's entry; closed (effClose) on destruction.
class PluginInstance {
public:
    /// Calls the entry with `host`'s callback; throws HostError when the plug-in answers null.
    PluginInstance(std::shared_ptr<PluginLibrary> library, HostCallback& host);
    /// Same, through an entry other than the library's preferred one (e.g. "main").
    PluginInstance(std::shared_ptr<PluginLibrary> library, HostCallback& host,
                   const char* entryName);
    /// Same, through the entry of a plug-in linked into this program (no library is loaded).
    PluginInstance(PluginLibrary::Entry entry, HostCallback& host);
    ~PluginInstance();
    PluginInstance(const PluginInstance&) = delete;
    PluginInstance& operator=(const PluginInstance&) = delete;

    AEffect* effect() const { return record; }
    bool isOpen() const { return record != nullptr; }

    intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                      float opt = 0.0f);
    /// effClose; answers the dispatcher's result. The record is gone afterwards.
    intptr_t close();

    void setParameter(int32_t index, float value);
    float getParameter(int32_t index);
    void processReplacing(float** inputs, float** outputs, int32_t sampleFrames);
    void process(float** inputs, float** outputs, int32_t sampleFrames);
    void processDoubleReplacing(double** inputs, double** outputs, int32_t sampleFrames);

    /// A text opcode (effGetParamName, effGetEffectName, ...) read into a generous buffer.
    std::string text(int32_t opcode, int32_t index = 0);
    /// effCanDo with `capability`.
    intptr_t canDo(const std::string& capability);

private:
    void create(PluginLibrary::Entry entry);
    std::shared_ptr<PluginLibrary> library;
    HostCallback& host;
    AEffect* record = nullptr;
};

} // namespace host
