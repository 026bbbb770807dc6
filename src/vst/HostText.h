#pragma once
// Passing texts between the dispatcher and the host's buffers.

#include <cstddef>
#include <cstring>

#include "vst/DAudioEffect.h"

namespace vst_detail {

/// Room for an operation to write a text meant for the host. `commit` hands the host at most
/// `bound` bytes (terminated); when the operation wrote nothing at all, the host's buffer is
/// left exactly as it was (some operations deliberately write nothing).
class HostTextOut {
public:
    HostTextOut(void* hostBuffer, size_t bound)
        : host(static_cast<char*>(hostBuffer)), bound(bound) {
        std::memset(scratch, kUnwritten, sizeof scratch);
    }
    char* data() { return scratch; }
    void commit() const {
        if (!host || bound == 0 || untouched()) return;
        const size_t length = strnlen(scratch, bound - 1);
        std::memcpy(host, scratch, length);
        host[length] = '\0';
    }

private:
    static constexpr unsigned char kUnwritten = 0xA5;
    bool untouched() const {
        for (unsigned char c : scratch)
            if (c != kUnwritten) return false;
        return true;
    }
    char* host;
    size_t bound;
    char scratch[kTextScratchSize];
};

/// A terminated copy of a text the host passes in, read no further than the scratch size.
class HostTextIn {
public:
    explicit HostTextIn(const void* hostText) {
        const char* text = hostText ? static_cast<const char*>(hostText) : "";
        const size_t length = strnlen(text, sizeof copy - 1);
        std::memcpy(copy, text, length);
        copy[length] = '\0';
    }
    char* data() { return copy; }

private:
    char copy[kTextScratchSize];
};

} // namespace vst_detail
