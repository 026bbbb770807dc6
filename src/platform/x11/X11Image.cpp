#include "platform/x11/X11Image.h"

#include "platform/x11/X11ErrorTrap.h"

#include <X11/Xutil.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <cstdlib>

namespace platform::x11 {

std::uint32_t* X11Image::prepare(Display* display, Visual* visual, int depth, int width, int height,
                                 ShmSupport& shm, std::size_t& stride) {
    width = std::max(1, width);
    height = std::max(1, height);
    if (image_ == nullptr || image_->width < width || image_->height < height) {
        release(display);
        if (depth < 24) return nullptr;
        const bool shared = shm.state != 0 && XShmQueryExtension(display) &&
                            makeShared(display, visual, depth, width, height);
        if (shm.state != 0) shm.state = shared ? 1 : 0;
        if (!shared && !makePlain(display, visual, depth, width, height)) return nullptr;
    } else if (pending_) {
        XSync(display, False); // the server has read the previous frame
        pending_ = false;
    }
    stride = static_cast<std::size_t>(image_->bytes_per_line) / 4;
    return reinterpret_cast<std::uint32_t*>(image_->data);
}

bool X11Image::makeShared(Display* display, Visual* visual, int depth, int width, int height) {
    image_ = XShmCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, nullptr, &shm_,
                             static_cast<unsigned>(width), static_cast<unsigned>(height));
    if (image_ != nullptr && image_->bits_per_pixel == 32) {
        shm_.shmid = shmget(IPC_PRIVATE, static_cast<std::size_t>(image_->bytes_per_line) * height,
                            IPC_CREAT | 0600);
        if (shm_.shmid >= 0) {
            shm_.shmaddr = image_->data = static_cast<char*>(shmat(shm_.shmid, nullptr, 0));
            if (shm_.shmaddr != reinterpret_cast<char*>(-1)) {
                shm_.readOnly = True;
                // A real attach, its answer awaited: remote servers refuse it late.
                const bool refused = ErrorTrap::fails(display, [&] { XShmAttach(display, &shm_); });
                // Marked for removal now: it goes when the last user detaches.
                shmctl(shm_.shmid, IPC_RMID, nullptr);
                if (!refused) {
                    attached_ = true;
                    return true;
                }
                shmdt(shm_.shmaddr);
            } else {
                shmctl(shm_.shmid, IPC_RMID, nullptr);
            }
        }
        image_->data = nullptr;
    }
    if (image_ != nullptr) XDestroyImage(image_);
    image_ = nullptr;
    return false;
}

bool X11Image::makePlain(Display* display, Visual* visual, int depth, int width, int height) {
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
    auto* data = static_cast<char*>(std::calloc(rowBytes * height, 1));
    if (data == nullptr) return false;
    image_ = XCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, 0, data,
                          static_cast<unsigned>(width), static_cast<unsigned>(height), 32,
                          static_cast<int>(rowBytes));
    if (image_ != nullptr && image_->bits_per_pixel == 32) return true;
    if (image_ != nullptr)
        XDestroyImage(image_); // frees data
    else
        std::free(data);
    image_ = nullptr;
    return false;
}

void X11Image::put(Display* display, Window window, int left, int top, int right, int bottom) {
    if (image_ == nullptr) return;
    GC gc = DefaultGC(display, DefaultScreen(display));
    const auto width = static_cast<unsigned>(right - left);
    const auto height = static_cast<unsigned>(bottom - top);
    if (attached_) {
        XShmPutImage(display, window, gc, image_, left, top, left, top, width, height, False);
        pending_ = true;
    } else {
        XPutImage(display, window, gc, image_, left, top, left, top, width, height);
    }
    XFlush(display);
}

void X11Image::release(Display* display) {
    if (image_ == nullptr) return;
    if (attached_) {
        XShmDetach(display, &shm_);
        XSync(display, False);
        shmdt(shm_.shmaddr);
        image_->data = nullptr;
        attached_ = false;
    }
    XDestroyImage(image_);
    image_ = nullptr;
    pending_ = false;
}

} // namespace platform::x11
