#include "runtime/Application.h"

namespace runtime {

TApplication& Application() {
    static TApplication application;
    return application;
}

void TApplication::HandleException() noexcept {
    if (!std::current_exception()) return;
    try {
        try {
            throw;
        } catch (const std::exception& e) {
            if (OnException) OnException(e);
        } catch (...) {
            if (OnException) OnException(Exception("Unknown exception"));
        }
    } catch (...) {
        // A failing handler must not take the UI thread down with it.
    }
}

} // namespace runtime
