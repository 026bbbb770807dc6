#include "host/VstHost.h"

#include <algorithm>
#include <cstring>

#include "platform/Platform.h"

namespace host {

namespace {

// The callback carries no host pointer: instances are found by their record. While an entry
// runs, the plug-in calls with a null or not yet known record; those calls belong to the host
// that is creating on this thread.
std::mutex registryMutex;
std::map<AEffect*, HostCallback*>& registry() {
    static std::map<AEffect*, HostCallback*> instances;
    return instances;
}
thread_local HostCallback* creatingHost = nullptr;

// More events than any host hands over in one list: a corrupt count must not run away.
constexpr int32_t kMaxRecordedEvents = 4096;

std::vector<VstMidiEvent> copyMidiEvents(const void* ptr) {
    std::vector<VstMidiEvent> copies;
    const auto* list = static_cast<const VstEvents*>(ptr);
    if (!list) return copies;
    const int32_t count = std::clamp(list->numEvents, 0, kMaxRecordedEvents);
    for (int32_t i = 0; i < count; ++i) {
        const VstEvent* event = list->events[i];
        if (event && event->type == kVstMidiType)
            copies.push_back(*reinterpret_cast<const VstMidiEvent*>(event));
    }
    return copies;
}

} // namespace

// ---- HostCallback ----------------------------------------------------------------------------

HostCallback::HostCallback() {
    setVersion(2400);
}

HostCallback::~HostCallback() {
    std::lock_guard lock(registryMutex);
    std::erase_if(registry(), [this](const auto& entry) { return entry.second == this; });
}

void HostCallback::setVersion(intptr_t version) {
    setAnswer(audioMasterVersion, version);
}

void HostCallback::setAnswer(int32_t opcode, Answer answer) {
    std::lock_guard lock(mutex);
    answers[opcode] = std::move(answer);
}

void HostCallback::setAnswer(int32_t opcode, intptr_t constant) {
    setAnswer(opcode, [constant](const CallRecord&) { return constant; });
}

std::vector<CallRecord> HostCallback::calls() const {
    std::lock_guard lock(mutex);
    return recorded;
}

std::vector<CallRecord> HostCallback::calls(int32_t opcode) const {
    std::lock_guard lock(mutex);
    std::vector<CallRecord> matching;
    for (const CallRecord& call : recorded)
        if (call.opcode == opcode) matching.push_back(call);
    return matching;
}

void HostCallback::clearCalls() {
    std::lock_guard lock(mutex);
    recorded.clear();
}

audioMasterCallback HostCallback::callback() {
    return &HostCallback::dispatch;
}

intptr_t VSTCALLBACK HostCallback::dispatch(AEffect* effect, int32_t opcode, int32_t index,
                                            intptr_t value, void* ptr, float opt) {
    HostCallback* host = nullptr;
    {
        std::lock_guard lock(registryMutex);
        const auto found = registry().find(effect);
        host = found != registry().end() ? found->second : creatingHost;
    }
    if (!host) return 0;
    CallRecord call{effect, opcode, index, value, ptr, opt, {}};
    if (opcode == audioMasterProcessEvents) call.midiEvents = copyMidiEvents(ptr);
    return host->answer(std::move(call));
}

intptr_t HostCallback::answer(CallRecord&& call) {
    Answer respond;
    {
        std::lock_guard lock(mutex);
        const auto found = answers.find(call.opcode);
        if (found != answers.end()) respond = found->second;
        recorded.push_back(call);
    }
    // Outside the lock: an answer may call back into the plug-in or read the records.
    return respond ? respond(call) : 0;
}

void HostCallback::attach(AEffect* effect, HostCallback* host) {
    std::lock_guard lock(registryMutex);
    registry()[effect] = host;
}

void HostCallback::detach(AEffect* effect) {
    std::lock_guard lock(registryMutex);
    registry().erase(effect);
}

// ---- PluginLibrary ---------------------------------------------------------------------------

std::shared_ptr<PluginLibrary> PluginLibrary::load(const std::string& path) {
    std::string error;
    void* handle = platform::loadLibrary(path, error);
    if (!handle) throw HostError(error);
    std::shared_ptr<PluginLibrary> library(new PluginLibrary(handle, path));
    if (!library->entryFunction) throw HostError(path + " exports neither VSTPluginMain nor main");
    return library;
}

PluginLibrary::PluginLibrary(void* handle, std::string path)
    : handle(handle), filePath(std::move(path)) {
    void* entry = symbol("VSTPluginMain");
    if (!entry) entry = symbol("main");
    entryFunction = reinterpret_cast<Entry>(entry);
}

PluginLibrary::~PluginLibrary() {
    platform::unloadLibrary(handle);
}

void* PluginLibrary::symbol(const char* name) const {
    return platform::librarySymbol(handle, name);
}

// ---- PluginInstance --------------------------------------------------------------------------

PluginInstance::PluginInstance(std::shared_ptr<PluginLibrary> library, HostCallback& host)
    : library(std::move(library)), host(host) {
    create(this->library->entry());
}

PluginInstance::PluginInstance(std::shared_ptr<PluginLibrary> library, HostCallback& host,
                               const char* entryName)
    : library(std::move(library)), host(host) {
    auto entry = reinterpret_cast<PluginLibrary::Entry>(this->library->symbol(entryName));
    if (!entry) throw HostError(this->library->path() + " does not export " + entryName);
    create(entry);
}

PluginInstance::PluginInstance(PluginLibrary::Entry entry, HostCallback& host) : host(host) {
    if (!entry) throw HostError("no plug-in entry");
    create(entry);
}

void PluginInstance::create(PluginLibrary::Entry entry) {
    const std::string name = library ? library->path() : std::string("the linked plug-in");
    HostCallback* previous = creatingHost;
    creatingHost = &host;
    record = entry(HostCallback::callback());
    creatingHost = previous;
    if (!record) throw HostError(name + ": the plug-in created no effect");
    if (record->magic != kEffectMagic) {
        record = nullptr;
        throw HostError(name + ": the entry returned no effect record");
    }
    HostCallback::attach(record, &host);
}

PluginInstance::~PluginInstance() {
    if (record) close();
}

intptr_t PluginInstance::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                  float opt) {
    if (!record) return 0;
    if (opcode == effClose) return close();
    return record->dispatcher(record, opcode, index, value, ptr, opt);
}

intptr_t PluginInstance::close() {
    if (!record) return 0;
    AEffect* closing = record;
    record = nullptr;
    const intptr_t result = closing->dispatcher(closing, effClose, 0, 0, nullptr, 0.0f);
    HostCallback::detach(closing);
    return result;
}

void PluginInstance::setParameter(int32_t index, float value) {
    if (record) record->setParameter(record, index, value);
}

float PluginInstance::getParameter(int32_t index) {
    return record ? record->getParameter(record, index) : 0.0f;
}

void PluginInstance::processReplacing(float** inputs, float** outputs, int32_t sampleFrames) {
    if (record && record->processReplacing)
        record->processReplacing(record, inputs, outputs, sampleFrames);
}

void PluginInstance::process(float** inputs, float** outputs, int32_t sampleFrames) {
    if (record && record->process) record->process(record, inputs, outputs, sampleFrames);
}

void PluginInstance::processDoubleReplacing(double** inputs, double** outputs,
                                            int32_t sampleFrames) {
    if (record && record->processDoubleReplacing)
        record->processDoubleReplacing(record, inputs, outputs, sampleFrames);
}

std::string PluginInstance::text(int32_t opcode, int32_t index) {
    char buffer[512] = {};
    dispatch(opcode, index, 0, buffer, 0.0f);
    return std::string(buffer, strnlen(buffer, sizeof buffer));
}

intptr_t PluginInstance::canDo(const std::string& capability) {
    std::string copy = capability;
    return dispatch(effCanDo, 0, 0, copy.data(), 0.0f);
}

} // namespace host
