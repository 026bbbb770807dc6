#include "platform/Platform.h"

#include <atomic>

namespace platform {

namespace {
// Null: the system backend. Read on any thread that asks for the clock, written by scopes.
std::atomic<Backend*> installed{nullptr};
} // namespace

Backend& backend() {
    Backend* b = installed.load(std::memory_order_acquire);
    return b != nullptr ? *b : systemBackend();
}

BackendScope::BackendScope(Backend& replacement)
    : previous_(installed.exchange(&replacement, std::memory_order_acq_rel)) {
    (previous_ != nullptr ? *previous_ : systemBackend()).stopAllTimers();
}

BackendScope::~BackendScope() {
    Backend* left = installed.exchange(previous_, std::memory_order_acq_rel);
    if (left != nullptr) left->stopAllTimers();
}

double scaleFromXResources(std::string_view resources) {
    // Lines of "name:<blanks>value"; the last Xft.dpi counts, as in the resource database.
    double found = 0;
    while (!resources.empty()) {
        const std::size_t end = resources.find('\n');
        std::string_view line = resources.substr(0, end);
        resources = end == std::string_view::npos ? std::string_view{} : resources.substr(end + 1);
        constexpr std::string_view kName = "Xft.dpi:";
        if (line.substr(0, kName.size()) != kName) continue;
        line.remove_prefix(kName.size());
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r'))
            line.remove_suffix(1);
        double value = 0, unit = 1;
        bool digits = false, point = false, bad = line.empty();
        for (char c : line) {
            if (c == '.' && !point) {
                point = true;
            } else if (c >= '0' && c <= '9' && value < 1e6) {
                digits = true;
                if (point) {
                    unit /= 10;
                    value += (c - '0') * unit;
                } else {
                    value = value * 10 + (c - '0');
                }
            } else {
                bad = true;
                break;
            }
        }
        found = !bad && digits && value > 0 ? value / 96.0 : 0;
    }
    return found;
}

} // namespace platform
